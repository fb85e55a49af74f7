#include "PtyKkt.h"

namespace {

constexpr char STX = 0x02;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;

char Lrc(std::string_view Data) {
  char lrc = static_cast<char>(Data.size());
  for (char c : Data) lrc ^= c;
  return lrc;
}

}  // namespace

TPtyKkt::TPtyKkt(int ComNumber, TAnswer Answer) : FDevice(ComNumber), FAnswer(std::move(Answer)) {
  FDevice.Serve([this](std::string_view Chunk) { return Handle(Chunk); });
}

TPtyKkt::~TPtyKkt() {
  FDevice.Stop();
}

void TPtyKkt::SetAnswer(TAnswer Answer) {
  std::lock_guard<std::mutex> guard(FLock);
  FAnswer = std::move(Answer);
}

void TPtyKkt::Unplug() {
  FDevice.Remove();
}

void TPtyKkt::Plug() {
  FDevice.Restore();
  FInput.clear();  // the device thread is stopped
  FDevice.Serve([this](std::string_view Chunk) { return Handle(Chunk); });
}

std::vector<std::string> TPtyKkt::Commands() {
  std::lock_guard<std::mutex> guard(FLock);
  return FCommands;
}

std::string TPtyKkt::Handle(std::string_view Chunk) {
  std::lock_guard<std::mutex> guard(FLock);
  FInput.append(Chunk);
  std::string out;
  while (!FInput.empty()) {
    const char c = FInput[0];
    if (c == ENQ) {
      FInput.erase(0, 1);
      out += NAK;
      continue;
    }
    if (c != STX) {  // the host's ACK of an answer, or noise
      FInput.erase(0, 1);
      continue;
    }
    if (FInput.size() < 2) break;
    const size_t len = static_cast<unsigned char>(FInput[1]);
    if (FInput.size() < len + 3) break;
    const std::string data = FInput.substr(2, len);
    const bool intact = FInput[len + 2] == Lrc(data);
    FInput.erase(0, len + 3);
    if (!intact) {
      out += NAK;
      continue;
    }
    FCommands.push_back(data);
    const std::optional<std::string> answer = FAnswer ? FAnswer(data) : std::nullopt;
    if (!answer) continue;  // as if the frame never arrived
    out += ACK;
    out += STX;
    out += static_cast<char>(answer->size());
    out += *answer;
    out += Lrc(*answer);
  }
  return out;
}
