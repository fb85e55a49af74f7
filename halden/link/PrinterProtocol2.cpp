#include "halden/link/PrinterProtocol2.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <utility>

#include "common/text/Crc.h"
#include "halden/link/PrinterProtocol.h"

namespace {

using Clock = std::chrono::steady_clock;

// The shortest time the hunt for a start byte is given, ms, so that a zero
// time-out still lets an answer that is already there be read.
constexpr int kMinHuntDeadline = 100;

// A damaged answer frame; caught by Send, which sends the command again.
class EPacketFormat : public std::runtime_error {
 public:
  EPacketFormat() : std::runtime_error(_(S_BADPACKETFORMAT)) {}
};

void AppendWord(std::string& To, std::uint16_t Value) {
  To.push_back(static_cast<char>(Value & 0xFF));
  To.push_back(static_cast<char>(Value >> 8));
}

void AppendStuffed(std::string& To, std::string_view Bytes) {
  for (char c : Bytes) {
    if (c == TPrinterProtocol2::STX) {
      To.push_back(TPrinterProtocol2::ESC);
      To.push_back('\x81');
    } else if (c == TPrinterProtocol2::ESC) {
      To.push_back(TPrinterProtocol2::ESC);
      To.push_back('\x83');
    } else {
      To.push_back(c);
    }
  }
}

// The byte a stuffed pair 9F x stands for.
char Unescape(char Second) {
  if (Second == '\x81') return TPrinterProtocol2::STX;
  if (Second == '\x83') return TPrinterProtocol2::ESC;
  throw EPacketFormat();
}

}  // namespace

TPrinterProtocol2::TPrinterProtocol2(PSerialPort APort, PConnectionParams AParams)
    : FPort(std::move(APort)), FParams(std::move(AParams)) {}

std::string TPrinterProtocol2::Encode(const std::string& Data) {
  if (Data.size() > MaxBlockSize) RaiseError(E_UNKNOWN, S_COMMANDTOOLONG);
  std::string body;
  body.reserve(Data.size() + 4);
  if (Data.empty()) {
    AppendWord(body, 0);  // the synchronisation frame: LEN 0 and no NUMBER
  } else {
    AppendWord(body, static_cast<std::uint16_t>(Data.size() + 2));
    AppendWord(body, FFrameNumber);
    body.append(Data);
  }
  const std::uint16_t crc = varkon::Crc16Ccitt(body);
  AppendWord(body, crc);
  std::string frame;
  frame.reserve(body.size() + body.size() / 8 + 2);
  frame.push_back(STX);
  AppendStuffed(frame, body);
  return frame;
}

void TPrinterProtocol2::Sync() {
  FSynchronized = false;
  Synchronize();
}

void TPrinterProtocol2::Send(TCommandRec& Command) {
  // Refused before the line is touched: LEN would otherwise wrap.
  if (Command.Command.size() > MaxBlockSize) RaiseError(E_UNKNOWN, S_COMMANDTOOLONG);
  int answerFailures = 0;
  int mismatches = 0;
  for (;;) {
    FPort->Purge();
    FRawInput.clear();
    FRawOutput.clear();
    FPort->SetCmdTimeout(FParams->Timeout);
    Synchronize();  // a failure here is not retried

    const std::string frame = Encode(Command.Command);
    FRawInput = frame;
    WriteFrame(frame);

    std::uint16_t number = 0;
    try {
      FPort->SetCmdTimeout(Command.Timeout);
      number = ReadAnswerFrame(Command.Timeout);
    } catch (const std::exception& E) {
      ++answerFailures;
      FLogger.Error("Answer error " + std::to_string(answerFailures) + ": " + E.what());
      // A port that closed itself has lost its device: sending again cannot
      // help, and its reopening would hide the loss of the link.
      if (!FPort->GetOpened()) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
      if (answerFailures < FParams->MaxAnsCount) continue;
      RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    }
    if (number == FFrameNumber) break;

    FSynchronized = false;
    ++mismatches;
    FLogger.Error("Frame number " + std::to_string(number) + " in place of " +
                  std::to_string(FFrameNumber));
    if (mismatches >= FParams->MaxCmdCount) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  }
  // The outputs change only with an answer that belongs to this command.
  Command.Answer = FOutput;
  Command.TxData = FRawInput;
  Command.RxData = FRawOutput;
  NextFrameNumber();
}

void TPrinterProtocol2::Synchronize() {
  if (FSynchronized) return;
  FLogger.Debug("Synchronization");
  FRawInput = Encode({});
  WriteFrame(FRawInput);
  try {
    FFrameNumber = ReadAnswerFrame(FParams->Timeout);
  } catch (const EDriverError&) {
    throw;
  } catch (const std::exception& E) {
    // A damaged answer is a failure of the link like any other.
    FLogger.Error(std::string("Synchronization: ") + E.what());
    RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  }
  FSynchronized = true;
  NextFrameNumber();
}

std::uint16_t TPrinterProtocol2::ReadAnswerFrame(int Deadline) {
  FOutput.clear();

  // The start byte is never stuffed, so it is looked for among the raw bytes.
  // A line that never falls silent ends the hunt after MaxHuntBytes bytes or
  // the deadline.
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(std::max(Deadline, kMinHuntDeadline));
  int skipped = 0;
  while (ReadRawByte() != STX)
    if (++skipped >= MaxHuntBytes || Clock::now() >= deadline)
      RaiseError(E_NOCONNECTION, S_NOCONNECTION);

  // LEN and NUMBER, then DATA and CRC, each in one block read: a frame holds
  // at least that many raw bytes, so nothing past it is read.
  const std::string header = ReadUnstuffed(4);
  const auto byte = [](const std::string& From, std::size_t At) {
    return static_cast<unsigned>(static_cast<unsigned char>(From[At]));
  };
  const auto len = static_cast<std::uint16_t>(byte(header, 0) | byte(header, 1) << 8);
  const auto number = static_cast<std::uint16_t>(byte(header, 2) | byte(header, 3) << 8);
  // LEN counts NUMBER: a smaller value is a damaged frame.
  if (len < 2) throw EPacketFormat();
  const std::size_t count = len - 2u;

  std::string rest = ReadUnstuffed(count + 2);
  const auto crc = static_cast<std::uint16_t>(byte(rest, count) | byte(rest, count + 1) << 8);
  rest.resize(count);
  FOutput = std::move(rest);

  std::string covered = header;
  covered.append(FOutput);
  if (crc != varkon::Crc16Ccitt(covered)) {
    FLogger.Error("CRC error");
    RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  }
  return number;
}

std::string TPrinterProtocol2::ReadUnstuffed(std::size_t Count) {
  const std::string raw = FPort->Read(static_cast<int>(Count));
  FRawOutput.append(raw);
  FLogger.WriteRxData(raw);
  if (raw.size() != Count) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  std::string out;
  out.reserve(Count);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == STX) throw EPacketFormat();  // a new frame began inside this one
    if (c != ESC) {
      out.push_back(c);
    } else if (i + 1 < raw.size()) {
      out.push_back(Unescape(raw[++i]));
    } else {
      out.push_back(Unescape(ReadRawByte()));  // the pair was split at the block end
    }
  }
  // Each stuffed pair made the block one byte short.
  while (out.size() < Count) out.push_back(ReadUnstuffedByte());
  return out;
}

char TPrinterProtocol2::ReadRawByte() {
  char c = 0;
  if (!FPort->ReadChar(c)) {
    FLogger.WriteRxData({});
    RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  }
  FRawOutput.push_back(c);
  FLogger.WriteRxData(std::string_view(&c, 1));
  return c;
}

char TPrinterProtocol2::ReadUnstuffedByte() {
  const char c = ReadRawByte();
  if (c == STX) throw EPacketFormat();  // a new frame began inside this one
  return c == ESC ? Unescape(ReadRawByte()) : c;
}

void TPrinterProtocol2::WriteFrame(const std::string& Frame) {
  FLogger.WriteTxData(Frame);
  FPort->Write(Frame);
}

void TPrinterProtocol2::NextFrameNumber() {
  FFrameNumber = FFrameNumber == 0xFFFF ? 0 : static_cast<std::uint16_t>(FFrameNumber + 1);
}
