#include <atomic>

#include "halden/server/PrinterPorts.h"

namespace {

std::atomic<int> gPortCounter{0};

// The command timeout of the port's own commands, ms.
constexpr int kOwnCommandTimeout = 10000;
constexpr char kStatusCommand = 0x11;
constexpr char kCancelReceiptCommand = static_cast<char>(0x88);
// The answer block of a status request reaches ModeFr: command code, error
// byte, then the status data up to and including ModeFr.
constexpr size_t kStatusAnswerWithMode = 2 + 16;
constexpr int kModeReceiptOpen = 8;

// The operator password as the 4 bytes of a command, least significant first.
std::string PasswordBytes(int Password) {
  const auto value = static_cast<uint32_t>(Password);
  std::string result(4, '\0');
  for (int i = 0; i < 4; ++i) result[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return result;
}

}  // namespace

TPrinterPort::TPrinterPort(const PPrinterPorts& AOwner, int PortNumber, int AProtocolType)
    : FOwner(AOwner), FPortNumber(PortNumber), FID(++gPortCounter) {
  FParams = std::make_shared<TConnectionParams>();
  FParams->ComNumber = PortNumber;
  FParams->ProtocolType = AProtocolType;
  TPortDevices devices = FOwner->Creator()(FParams);
  FPort = std::move(devices.Port);
  FProtocol = std::move(devices.Protocol);
  if (!FPort || !FProtocol) RaiseError(E_PORTNOTAVAILABLE, S_PORTNOTAVAILABLE);
  FTimer = std::make_unique<TTimer>();
}

PPrinterPort TPrinterPort::CreatePort(const PPrinterPorts& AOwner, int PortNumber,
                                      int AProtocolType) {
  PPrinterPort port(new TPrinterPort(AOwner, PortNumber, AProtocolType));
  // The handler holds the port only while it runs, so that the timer never
  // keeps its own port alive.
  std::weak_ptr<TPrinterPort> weak = port;
  port->FTimer->SetOnTimer([weak] {
    if (PPrinterPort held = weak.lock()) held->TimerExpired();
  });
  port->ArmTimer();
  AOwner->Insert(port.get());
  return port;
}

TPrinterPort::~TPrinterPort() {
  // The watcher still sees the whole port while it learns of its removal.
  FOwner->Remove(this);
  try {
    FPort->Close();
  } catch (const std::exception& E) {
    FLogger.Error("Close failed", E);
  }
  FTimer.reset();
  FProtocol.reset();
  FPort.reset();
  FParams.reset();
}

bool TPrinterPort::Opened() const {
  return FPort->GetOpened();
}

void TPrinterPort::ArmTimer() {
  const TLockSettings settings = FOwner->Settings();
  FTimer->SetEnabled(settings.AutoPortClose);
  FTimer->SetInterval(settings.CloseTimeout);
}

void TPrinterPort::RestartTimeout() {
  FTimer->SetEnabled(false);
  ArmTimer();
}

void TPrinterPort::OpenPort(int ClientID) {
  if (FLocked && ClientID == FLockerID) RestartTimeout();
  FPort->Open();
  FTimer->SetEnabled(FOwner->Settings().AutoPortClose);
}

void TPrinterPort::ClosePort(int ClientID) {
  if (FLocked && ClientID == FLockerID) RestartTimeout();
  FPort->Close();
  FTimer->SetEnabled(false);
}

bool TPrinterPort::LockPort(const TLockerRec& ALocker) {
  if (FLocked && ALocker.ID != FLockerID) return false;
  RestartTimeout();
  FLocked = true;
  FLockerID = ALocker.ID;
  FAppPID = ALocker.AppPID;
  FAppName = ALocker.AppName;
  FCompName = ALocker.CompName;
  FOwner->Notify(this, ctChange);
  return true;
}

bool TPrinterPort::UnlockPort(int ClientID) {
  if (FLocked && ClientID != 0 && ClientID != FLockerID) return false;
  FLockerID = 0;
  FLocked = false;
  FOwner->Notify(this, ctChange);
  return true;
}

void TPrinterPort::OpenCheck(int APassword) {
  FCheckOpened = true;
  FPassword = APassword;
}

void TPrinterPort::CloseCheck() {
  FCheckOpened = false;
}

void TPrinterPort::SendData(int CmdTimeout, const std::string& Data) {
  RestartTimeout();
  FCommand.Timeout = CmdTimeout;
  FCommand.Command = Data;
  try {
    FProtocol->Send(FCommand);
  } catch (...) {
    RestartTimeout();
    throw;
  }
  // The client was busy for the whole command, which may have taken longer
  // than the time-out: count its idle time from the end of the command, or
  // the lock of a working client would fall the moment the command returns.
  RestartTimeout();
}

bool TPrinterPort::SendOwnCommand(const std::string& Block) {
  FCommand.Command = Block;
  FCommand.Timeout = kOwnCommandTimeout;
  FProtocol->Send(FCommand);

  const std::string& answer = FCommand.Answer;
  if (answer.size() <= 1) return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(answer[i]); };
  int error = 0;
  if (byte(0) == 0xFF) {
    FCommand.Code = static_cast<unsigned short>(byte(0) | (byte(1) << 8));
    // A two-byte code with nothing after it carries no error byte.
    if (answer.size() < 3) return false;
    error = byte(2);
  } else {
    FCommand.Code = byte(0);
    error = byte(1);
  }
  if (error == 0 && FCommand.Code == static_cast<unsigned char>(kStatusCommand))
    FStatus.Update(std::string_view(answer).substr(2));
  return error == 0;
}

void TPrinterPort::CancelOpenReceipt() {
  if (!FCheckOpened || !FOwner->Settings().AutoRecCancel || !Opened()) return;
  std::lock_guard<std::recursive_mutex> guard(FCS);
  try {
    const std::string password = PasswordBytes(FPassword);
    if (!SendOwnCommand(std::string(1, kStatusCommand) + password)) return;
    // Decide on this answer's mode only: an answer that is no status or stops
    // short of the mode would leave the mode of an older status in place.
    if (FCommand.Code != static_cast<unsigned char>(kStatusCommand) ||
        FCommand.Answer.size() < kStatusAnswerWithMode)
      return;
    if ((FStatus.ModeFr & 0x0F) != kModeReceiptOpen) return;
    // A cancel lost on the link leaves the receipt open on the device: the
    // flag stays, and the next firing tries again.
    SendOwnCommand(std::string(1, kCancelReceiptCommand) + password);
    FCheckOpened = false;
  } catch (const std::exception& E) {
    FLogger.Error("Receipt cancel failed", E);
  }
}

void TPrinterPort::TimerExpired() {
  CancelOpenReceipt();
  if (FOwner->Settings().AutoPortClose) UnlockPort(0);
}
