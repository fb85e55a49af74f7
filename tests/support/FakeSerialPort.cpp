#include "tests/support/FakeSerialPort.h"

#include <stdexcept>

#include "common/text/Hex.h"

FakeSerialPort::TScript FakeSerialPort::Parse(std::string_view Script) {
  TScript out;
  std::size_t i = 0;
  while (i < Script.size()) {
    const char c = Script[i];
    if (c == ' ' || c == '|') {
      ++i;
    } else if (c == '~') {
      out.push_back(-1);
      ++i;
    } else {
      if (i + 1 >= Script.size()) throw std::invalid_argument("odd script");
      const int hi = varkon::HexDigitValue(c);
      const int lo = varkon::HexDigitValue(Script[i + 1]);
      if (hi < 0 || lo < 0) throw std::invalid_argument("bad script");
      out.push_back(hi * 16 + lo);
      i += 2;
    }
  }
  return out;
}

std::string FakeSerialPort::Bytes(std::string_view Hex) {
  std::string out;
  for (int b : Parse(Hex)) {
    if (b < 0) throw std::invalid_argument("time-out mark in a byte string");
    out.push_back(static_cast<char>(b));
  }
  return out;
}

void FakeSerialPort::Feed(std::string_view Script) {
  for (int b : Parse(Script)) FInput.push_back(b);
}

void FakeSerialPort::FeedBytes(std::string_view Bytes) {
  for (char c : Bytes) FInput.push_back(static_cast<unsigned char>(c));
}

void FakeSerialPort::OnWrite(std::string_view Script) {
  FReplies.push_back(Parse(Script));
}

void FakeSerialPort::OnWriteBytes(std::string_view Bytes) {
  TScript reply;
  for (char c : Bytes) reply.push_back(static_cast<unsigned char>(c));
  FReplies.push_back(std::move(reply));
}

void FakeSerialPort::Fail(const std::string& Op) {
  auto it = FFailures.find(Op);
  if (it == FFailures.end() || it->second.Times <= 0) return;
  if (it->second.Skip > 0) {
    --it->second.Skip;
    return;
  }
  --it->second.Times;
  if (it->second.Closes) FOpened = false;
  throw EDriverError(it->second.Code, "fake " + Op + " failure");
}

void FakeSerialPort::Open() {
  FCalls.push_back("Open");
  Fail("Open");
  FOpened = true;
  ++FOpenCount;
}

void FakeSerialPort::Close() {
  FCalls.push_back("Close");
  Fail("Close");
  FOpened = false;
}

void FakeSerialPort::Purge() {
  FCalls.push_back("Purge");
  Fail("Purge");
  FInput.clear();
}

void FakeSerialPort::Write(const std::string& Data) {
  FCalls.push_back("Write " + varkon::HexSpaced(Data));
  Fail("Write");
  if (Data.empty()) return;
  FWrites.push_back(Data);
  Record('H', Data);
  if (!FReplies.empty()) {
    for (int b : FReplies.front()) FInput.push_back(b);
    FReplies.pop_front();
  }
}

void FakeSerialPort::SetCmdTimeout(int Value) {
  FCalls.push_back("SetCmdTimeout " + std::to_string(Value));
  Fail("SetCmdTimeout");
}

int FakeSerialPort::Next() {
  if (FInput.empty()) return FNoise ? static_cast<unsigned char>(FNoiseByte) : -1;
  const int b = FInput.front();
  FInput.pop_front();
  return b;
}

bool FakeSerialPort::ReadChar(char& C) {
  if (++FSingleReads > FReadLimit) throw std::logic_error("the protocol does not stop reading");
  Fail("ReadChar");
  const int b = Next();
  if (b < 0) {
    FCalls.push_back("ReadChar ~");
    return false;
  }
  C = static_cast<char>(b);
  FCalls.push_back("ReadChar " + varkon::HexSpaced(std::string(1, C)));
  Record('D', std::string(1, C));
  return true;
}

std::string FakeSerialPort::ReadBlock(const std::string& Call, int Count) {
  FCalls.push_back(Call);
  std::string out;
  while (static_cast<int>(out.size()) < Count) {
    const int b = Next();
    if (b < 0) break;
    out.push_back(static_cast<char>(b));
  }
  Record('D', out);
  if (static_cast<int>(out.size()) < Count) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  return out;
}

std::string FakeSerialPort::Read(int Count) {
  Fail("Read");
  if (Count <= 0) {
    FCalls.push_back("Read " + std::to_string(Count));
    return {};
  }
  return ReadBlock("Read " + std::to_string(Count), Count);
}

std::string FakeSerialPort::ReadEx(int Count, int ATimeout) {
  Fail("ReadEx");
  const std::string call = "ReadEx " + std::to_string(Count) + " " + std::to_string(ATimeout);
  if (Count <= 0) {
    FCalls.push_back(call);
    return {};
  }
  return ReadBlock(call, Count);
}

void FakeSerialPort::Record(char Dir, std::string_view Bytes) {
  if (Bytes.empty()) return;
  if (!FTurns.empty() && FTurns.back().first == Dir)
    FTurns.back().second.append(Bytes);
  else
    FTurns.emplace_back(Dir, std::string(Bytes));
}

std::vector<std::string> FakeSerialPort::CallsOf(std::string_view Prefix) const {
  std::vector<std::string> out;
  for (const auto& call : FCalls)
    if (std::string_view(call).substr(0, Prefix.size()) == Prefix) out.push_back(call);
  return out;
}

std::vector<std::string> FakeSerialPort::Writes() const {
  std::vector<std::string> out;
  for (const auto& w : FWrites) out.push_back(varkon::HexSpaced(w));
  return out;
}

std::string FakeSerialPort::Transcript() const {
  std::string out;
  for (const auto& [dir, bytes] : FTurns) {
    if (!out.empty()) out += " | ";
    out += dir;
    out += ' ';
    out += varkon::HexSpaced(bytes);
  }
  return out;
}
