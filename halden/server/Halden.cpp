#include "halden/server/Halden.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "Version.h"
#include "common/text/Hex.h"

namespace {
std::atomic<int> gHaldenCounter{0};

// The longest computer name a client is given (the NetBIOS limit).
constexpr size_t kComputerNameLength = 15;
}  // namespace

std::atomic<int> THalden::FObjectCount{0};

THalden::THalden() : FID(++gHaldenCounter) {
  ++FObjectCount;
}

THalden::~THalden() {
  if (FPortLink) {
    TPrinterPort& port = FPortLink->Port();
    // A client that vanished under its lock may have left a receipt open;
    // nothing else will cancel it once the lock is gone.
    if (port.Locked() && port.LockerID() == FID) port.CancelOpenReceipt();
    try {
      UnlockPort();
    } catch (...) {
    }
    ClosePort();
  }
  FClientsLink->Remove(this);
  FPortLink.reset();
  --FObjectCount;
}

int THalden::Success() {
  FResultDescription = _(S_NOERROR);
  return E_NOERROR;
}

int THalden::Failure(const std::exception& E) {
  const auto* driverError = dynamic_cast<const EDriverError*>(&E);
  FResultCode = driverError ? driverError->ErrorCode() : E_UNKNOWN;
  FResultDescription = E.what();
  return FResultCode;
}

int THalden::LockConflict(const TPrinterPort& Port) {
  // The holder's computer, process and application: " %s.%d.'%s'".
  FResultDescription = std::string(_(S_PORTLOCKED)) + " " + Port.CompName() + "." +
                       std::to_string(static_cast<int32_t>(Port.AppPID())) + ".'" + Port.AppName() +
                       "'";
  return E_PORTLOCKED;
}

TPrinterPort& THalden::GetPort(int PortNumber) {
  if (FPortLink && FPortLink->Port().PortNumber() != PortNumber) {
    // Leaving a port must not leave it locked by an object that no longer
    // uses it: the other clients of that port would be refused for good.
    TPrinterPort& old = FPortLink->Port();
    if (old.Locked() && old.LockerID() == FID) old.UnlockPort(FID);
    FPortLink.reset();
  }
  if (!FPortLink)
    FPortLink = std::make_unique<TPrinterPortLink>(FPortsLink.Ports(), PortNumber, FProtocolType);
  return FPortLink->Port();
}

int THalden::OpenPort(int PortNumber, int BaudRate, int Timeout) {
  try {
    TPrinterPort& port = GetPort(PortNumber);
    if (!port.Opened()) {
      port.SetBaudRate(BaudRate);
      port.SetTimeout(Timeout);
      port.OpenPort(FID);
    }
    return Success();
  } catch (const std::exception& E) {
    const int code = Failure(E);
    // A port that failed half-way through opening is closed again.
    if (FPortLink) {
      try {
        FPortLink->Port().ClosePort(FID);
      } catch (...) {
      }
    }
    return code;
  }
}

int THalden::ClosePort() {
  try {
    if (FPortLink) FPortLink->Port().ClosePort(FID);
    return Success();
  } catch (const std::exception& E) {
    return Failure(E);
  }
}

std::string THalden::SendData(int CmdTimeout, const std::string& TxData, int& AResultCode) {
  AResultCode = E_NOERROR;
  FResultDescription = _(S_NOERROR);
  if (!FPortLink) return {};
  TPrinterPort& port = FPortLink->Port();
  try {
    const std::optional<std::string> command = varkon::HexDecodePairs(TxData);
    if (!command) throw std::runtime_error(_(S_BADDATAFORMAT));
    try {
      port.OpenPort(FID);
    } catch (...) {
      // As after a failed OpenPort: no half-opened port stays behind.
      try {
        port.ClosePort(FID);
      } catch (...) {
      }
      throw;
    }
    std::lock_guard<std::recursive_mutex> guard(port.CS());
    port.SendData(CmdTimeout, *command);
    std::string answer = varkon::HexLower(port.Answer());
    FRawAnswer = varkon::HexLower(port.RawAnswer());
    FRawTxData = varkon::HexLower(port.RawTxData());
    AResultCode = port.ResultCode();
    FResultCode = AResultCode;
    FResultDescription.clear();
    return answer;
  } catch (const std::exception& E) {
    AResultCode = Failure(E);
    return {};
  }
}

std::string THalden::FileVersion() {
  return VARKON_FILE_VERSION;
}

int THalden::OpenCheck(int PortNumber, int Password) {
  GetPort(PortNumber).OpenCheck(Password);
  return Success();
}

int THalden::CloseCheck(int PortNumber) {
  GetPort(PortNumber).CloseCheck();
  return Success();
}

int THalden::Connect(int AAppPID, const std::string& AAppName, const std::string& ACompName) {
  FAppPID = static_cast<uint32_t>(AAppPID);
  FAppName = AAppName;
  FCompName = ACompName;
  FClientsLink->Add(this);
  return Success();
}

std::string THalden::GetComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return {};
  std::string result(name);
  // The computer's own name, without a domain, as clients know it.
  result = result.substr(0, result.find('.'));
  if (result.size() > kComputerNameLength) result.resize(kComputerNameLength);
  return result;
}

int THalden::LockPort(int PortNumber) {
  TPrinterPort& port = GetPort(PortNumber);
  if (!port.LockPort(TLockerRec{FID, FAppPID, FAppName, FCompName})) return LockConflict(port);
  return Success();
}

int THalden::UnlockPort() {
  if (!FPortLink || !FPortLink->Port().Locked()) return Success();
  if (!FPortLink->Port().UnlockPort(FID)) return LockConflict(FPortLink->Port());
  return Success();
}

int THalden::AdminUnlockPort(int PortNumber) {
  if (PPrinterPort port = FPortsLink->ItemByPortNumber(PortNumber)) port->UnlockPort(0);
  return Success();
}

int THalden::AdminUnlockPorts() {
  const int count = FPortsLink->Count();
  for (int i = 0; i < count; ++i)
    if (PPrinterPort port = FPortsLink->Items(i)) port->UnlockPort(0);
  return Success();
}
