#pragma once
// Halden's server object: one per client. It remembers who the client is,
// which served port it works with and the result of its last call; through
// it the client opens, locks, uses and closes a port.
//
// Its members run on the main thread, one at a time. OpenPort, ClosePort and
// SendData turn every failure into their result code; the other members let
// an exception through only when a served port cannot be created at all (for
// the caller to report as a failed call). The object ends with its
// last holder (the connection that created it): it then cancels a receipt
// left open under its lock (when AutoRecCancel is on), unlocks and closes its
// port, leaves the client list and releases its hold on the port.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "halden/server/Clients.h"
#include "halden/server/HaldenLib.h"
#include "halden/server/PrinterPorts.h"

class THalden : public IHalden {
 public:
  THalden();
  ~THalden() override;
  THalden(const THalden&) = delete;
  THalden& operator=(const THalden&) = delete;

  int OpenPort(int PortNumber, int BaudRate, int Timeout) override;
  int ClosePort() override;
  std::string SendData(int CmdTimeout, const std::string& TxData, int& AResultCode) override;
  std::string FileVersion() override;
  std::string ResultDescription() override { return FResultDescription; }
  int OpenCheck(int PortNumber, int Password) override;
  int CloseCheck(int PortNumber) override;
  int Connect(int AAppPID, const std::string& AAppName, const std::string& ACompName) override;
  std::string GetComputerName() override;
  int ResultCode() override { return FResultCode; }
  int LockPort(int PortNumber) override;
  int UnlockPort() override;
  int AdminUnlockPort(int PortNumber) override;
  int AdminUnlockPorts() override;
  int ProtocolType() override { return FProtocolType; }
  void SetProtocolType(int Value) override { FProtocolType = Value; }
  std::string RawAnswer() override { return FRawAnswer; }
  std::string RawTxData() override { return FRawTxData; }

  // For the main window and the lock holder's identity.
  int ID() const { return FID; }
  uint32_t AppPID() const { return FAppPID; }
  const std::string& AppName() const { return FAppName; }
  const std::string& CompName() const { return FCompName; }
  // The served port the object holds, or nothing.
  TPrinterPort* Port() const { return FPortLink ? &FPortLink->Port() : nullptr; }

  // Server objects alive in the process.
  static int ObjectCount() { return FObjectCount.load(); }

 private:
  // The port with the number, held by this object from now on.
  TPrinterPort& GetPort(int PortNumber);
  int Success();
  int Failure(const std::exception& E);
  int LockConflict(const TPrinterPort& Port);

  static std::atomic<int> FObjectCount;

  const int FID;
  uint32_t FAppPID = 0;
  std::string FAppName;
  std::string FCompName;
  TPrinterPortsLink FPortsLink;
  std::unique_ptr<TPrinterPortLink> FPortLink;
  int FResultCode = 0;
  std::string FResultDescription;
  TClientsLink FClientsLink;
  int FProtocolType = 0;
  std::string FRawAnswer;
  std::string FRawTxData;
};
