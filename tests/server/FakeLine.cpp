#include "FakeLine.h"

#include "ServerFixture.h"

namespace {

class TFakeSerialPort : public ISerialPort {
 public:
  TFakeSerialPort(std::shared_ptr<TFakeLine> ALine, PConnectionParams AParams)
      : FLine(std::move(ALine)), FParams(std::move(AParams)) {
    ++FLine->LiveObjects;
  }
  ~TFakeSerialPort() override {
    Close();
    --FLine->LiveObjects;
  }

  void Open() override {
    if (FLine->Opened) return;
    if (FLine->OpenError != 0) {
      if (FLine->OpenHalfWay) FLine->Opened = true;
      const int code = FLine->OpenError;
      RaiseError(code, code == E_PORTBUSY       ? S_PORTBUSY
                       : code == E_NOCONNECTION ? S_NOCONNECTION
                                                : S_PORTNOTAVAILABLE);
    }
    FLine->Opened = true;
    ++FLine->Opens;
    FLine->OpenBaudRate = FParams->BaudRate;
    FLine->OpenTimeout = FParams->Timeout;
  }
  void Close() override {
    if (!FLine->Opened) return;
    FLine->Opened = false;
    ++FLine->Closes;
  }
  void Purge() override {}
  void Write(const std::string&) override {}
  void SetCmdTimeout(int) override {}
  bool GetOpened() override { return FLine->Opened; }
  std::string Read(int) override { RaiseError(E_NOCONNECTION, S_NOCONNECTION); }
  std::string ReadEx(int, int) override { RaiseError(E_NOCONNECTION, S_NOCONNECTION); }
  bool ReadChar(char&) override { return false; }

 private:
  std::shared_ptr<TFakeLine> FLine;
  PConnectionParams FParams;
};

class TFakeProtocol : public IPrinterProtocol {
 public:
  TFakeProtocol(std::shared_ptr<TFakeLine> ALine, PSerialPort APort)
      : FLine(std::move(ALine)), FPort(std::move(APort)) {
    ++FLine->LiveObjects;
  }
  ~TFakeProtocol() override { --FLine->LiveObjects; }

  void Send(TCommandRec& Command) override {
    if (!FPort->GetOpened()) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    FLine->Commands.push_back(Command.Command);
    if (!FLine->Device) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    std::string answer = FLine->Device(Command.Command);
    Command.TxData = FakeFrame(Command.Command);
    Command.RxData = "\x06" + FakeFrame(answer);
    Command.Answer = answer;
  }
  std::string Encode(const std::string& Data) override { return FakeFrame(Data); }
  void Sync() override {}
  void Reset() override {}

 private:
  std::shared_ptr<TFakeLine> FLine;
  PSerialPort FPort;
};

}  // namespace

std::string FakeFrame(const std::string& Data) {
  return "\x02" + std::string(1, static_cast<char>(Data.size())) + Data + "\x03";
}

TFakeLine& TFakeLines::Line(int PortNumber) {
  std::shared_ptr<TFakeLine>& line = FLines[PortNumber];
  if (!line) line = std::make_shared<TFakeLine>();
  return *line;
}

TPortCreator TFakeLines::Creator() {
  return [this](const PConnectionParams& Params) {
    Line(Params->ComNumber);
    std::shared_ptr<TFakeLine> line = FLines[Params->ComNumber];
    line->ProtocolType = Params->ProtocolType;
    TPortDevices devices;
    devices.Port = std::make_shared<TFakeSerialPort>(line, Params);
    devices.Protocol = std::make_shared<TFakeProtocol>(line, devices.Port);
    return devices;
  };
}

std::string HexBytes(const std::string& Hex) {
  std::string digits;
  for (char c : Hex)
    if (c != ' ') digits += c;
  std::string result;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    result += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return result;
}
