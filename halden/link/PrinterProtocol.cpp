#include "halden/link/PrinterProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <utility>

#include "common/logging/LogFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// Bytes that answer the host's ENQ or acknowledge its frame.
bool IsControlByte(char C) {
  return C == TPrinterProtocol::ACK || C == TPrinterProtocol::NAK || C == TPrinterProtocol::ENQ;
}

char Lrc(std::string_view Data, char Len) {
  char lrc = Len;
  for (char c : Data) lrc ^= c;
  return lrc;
}

}  // namespace

TPrinterProtocol::TPrinterProtocol(PSerialPort APort, PConnectionParams AParams)
    : FPort(std::move(APort)), FParams(std::move(AParams)) {}

std::string TPrinterProtocol::Encode(const std::string& Data) {
  if (Data.size() > MaxBlockSize) RaiseError(E_UNKNOWN, S_COMMANDTOOLONG);
  const char len = static_cast<char>(Data.size());
  std::string frame;
  frame.reserve(Data.size() + 3);
  frame.push_back(STX);
  frame.push_back(len);
  frame.append(Data);
  frame.push_back(Lrc(Data, len));
  return frame;
}

void TPrinterProtocol::Send(TCommandRec& Command) {
  // Refused before the line is touched: LEN would otherwise wrap and the
  // device could execute a misframed command.
  if (Command.Command.size() > MaxBlockSize) RaiseError(E_UNKNOWN, S_COMMANDTOOLONG);
  const std::string frame = Encode(Command.Command);

  FOutput.clear();
  FRawInput.clear();
  FRawOutput.clear();
  FPort->Purge();
  SetTimeout(FParams->Timeout);
  EnqHandshake(THandshake::Ready);
  SendFrame(frame);
  SetTimeout(Command.Timeout);
  if (!ReadAnswer()) {
    if (FParams->MaxAnsCount <= 1) {
      FLogger.Debug("No Answer. MaxAnsCount = 1");
      RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    }
    FLogger.Debug("No Answer. repeat");
    EnqHandshake(THandshake::Fetch);
  }
  Command.Answer = FOutput;
  Command.TxData = FRawInput;
  Command.RxData = FRawOutput;
}

void TPrinterProtocol::EnqHandshake(THandshake Mode) {
  int failures = 0;
  int answers = 0;
  for (;;) {
    WriteData(std::string(1, ENQ));
    char c = 0;
    if (ReadControlByte(c)) {
      if (c == ACK) {
        char line[64];
        std::snprintf(line, sizeof line, "_ Got ACK. ReadAnswerData (%d/%d)", answers, 4);
        FLogger.Debug(line);
        if (ReadAnswer()) {
          if (Mode == THandshake::Fetch) return;
        } else {
          FLogger.Debug("No answer. Repeat answer reading");
        }
        ++answers;
      } else if (c == NAK) {
        if (Mode == THandshake::Ready) return;
        RaiseError(E_NOCONNECTION, S_NOCONNECTION);
      } else {  // the device's own ENQ
        ++failures;
        DrainLine();
      }
    } else {
      FLogger.Debug("Reconnect");
      try {
        FPort->Close();
        FPort->Open();
        SetTimeout(FParams->Timeout);
      } catch (const std::exception& E) {
        FLogger.Error(std::string("Reconnect: Port opening error: ") + E.what());
      }
      ++failures;
      FLogger.Debug("EnqCount = " + std::to_string(failures));
      FLogger.Debug("MaxEnqCount = " + std::to_string(FParams->MaxENQCount));
    }
    if (failures > FParams->MaxENQCount || answers > FParams->MaxAnsCount)
      RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    FLogger.Debug("Repeat ENQ");
  }
}

void TPrinterProtocol::SendFrame(const std::string& Frame) {
  int attempt = 1;
  FRawInput = Frame;
  FRawOutput.clear();
  for (;;) {
    FPort->Purge();
    WriteData(Frame);
    char c = 0;
    bool got = false;
    for (int i = 1; i <= FParams->MaxAnsCount; ++i) {
      if (ReadControlByte(c)) {
        got = true;
        break;
      }
      if (i < FParams->MaxAnsCount) FLogger.Debug("Repeat reading ACK");
    }
    if (!got || c == ENQ) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    if (c == ACK) return;
    if (++attempt > FParams->CommandRetryCount) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  }
}

bool TPrinterProtocol::ReadControlByte(char& C) {
  for (int i = 0; i < 3; ++i) {
    FLogger.Debug("ReadAckChar try");
    char c = 0;
    if (!ReadByte(c)) return false;
    if (c == '\xFF' && !ReadByte(c)) return false;
    if (IsControlByte(c)) {
      C = c;
      return true;
    }
  }
  return false;
}

bool TPrinterProtocol::ReadAnswer() {
  FOutput.clear();
  try {
    char c = 0;
    if (!ReadByte(c)) return false;
    FRawOutput.push_back(c);
    if (c != STX) return false;
    if (!ReadByte(c)) return false;
    FRawOutput.push_back(c);
    const char lenByte = c;
    const int len = static_cast<unsigned char>(lenByte);
    SetTimeout(FParams->Timeout);
    const std::string body = FPort->ReadEx(len + 1, FParams->Timeout);
    FLogger.WriteRxData(body);
    FRawOutput.append(body);
    if (body.size() != static_cast<std::size_t>(len) + 1) {
      FLogger.Error("ReadAnswerData: short answer");
      return false;
    }
    const std::string_view data(body.data(), len);
    if (Lrc(data, lenByte) != body[len]) {
      // A damaged answer is never delivered: NAK tells the device, and the
      // caller asks for the answer again with ENQ.
      WriteData(std::string(1, NAK));
      FLogger.Error("ReadAnswerData: LRC error");
      return false;
    }
    WriteData(std::string(1, ACK));
    FOutput.assign(data);
    return true;
  } catch (const std::exception& E) {
    FOutput.clear();
    FLogger.Error(std::string("ReadAnswerData: ") + E.what());
    // A port that closed itself has lost its device: asking it again cannot
    // help, and reopening the port would hide the loss of the link.
    if (!FPort->GetOpened()) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    return false;
  }
}

void TPrinterProtocol::DrainLine() {
  FLogger.Debug("ReadBadAnswer");
  // A line that never falls silent must not hold the port: the drain ends
  // after MaxDrainBytes bytes or the answer deadline, whichever comes first.
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(std::max(FParams->Timeout, DrainTimeout));
  try {
    SetTimeout(DrainTimeout);
    char c = 0;
    for (int n = 0; n < MaxDrainBytes && ReadByte(c); ++n)
      if (Clock::now() >= deadline) break;
  } catch (...) {
    SetTimeout(FParams->Timeout);
    throw;
  }
  SetTimeout(FParams->Timeout);
}

bool TPrinterProtocol::ReadByte(char& C) {
  if (FPort->ReadChar(C)) {
    FLogger.WriteRxData(std::string_view(&C, 1));
    return true;
  }
  FLogger.WriteRxData({});
  return false;
}

void TPrinterProtocol::WriteData(const std::string& Data) {
  // Of a block whose third and fourth bytes are FE E9 only the first four
  // bytes reach the log.
  if (Data.size() >= 4 && Data[2] == '\xFE' && Data[3] == '\xE9')
    FLogger.WriteTxData(std::string_view(Data).substr(0, 4));
  else
    FLogger.WriteTxData(Data);
  FPort->Write(Data);
}

void TPrinterProtocol::SetTimeout(int Value) {
  // Formatted only while the log is on: this runs three times a command.
  if (GlobalLogger().GetEnabled()) FLogger.Debug("SetCmdTimeout: " + std::to_string(Value));
  FPort->SetCmdTimeout(Value);
}
