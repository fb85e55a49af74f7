#pragma once
// The served ports: one TPrinterPort per port number in the process-wide
// registry TPrinterPorts, the clients' holds on them, the advisory lock with
// its time-out, and the receipt cancel at the time-out.
//
// Ownership: a client's TPrinterPortLink owns a share of its TPrinterPort, and
// the port object ends with its last holder (closing its serial port and
// leaving the registry). Every port and every TPrinterPortsLink owns a share
// of the registry, which ends when the last of them goes. The registry itself
// only lists its ports; it does not keep them alive.
//
// Everything but the registry's list and settings is used on the main thread
// only (client calls and timer events arrive there); the registry's lock is
// for readers on the main window that walk the list.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/logging/Logger.h"
#include "halden/link/Link.h"
#include "halden/server/ChangeType.h"
#include "halden/server/Timers.h"

class TPrinterPort;
class TPrinterPorts;
using PPrinterPort = std::shared_ptr<TPrinterPort>;
using PPrinterPorts = std::shared_ptr<TPrinterPorts>;

// The settings the lock time-out follows.
struct TLockSettings {
  bool AutoPortClose = false;  // unlock at the time-out; also what makes the timer run
  bool AutoRecCancel = false;  // cancel a receipt reported open at the time-out
  int CloseTimeout = 10000;    // ms
};

// Who locks a port.
struct TLockerRec {
  int ID = 0;  // the server object's identifier
  uint32_t AppPID = 0;
  std::string AppName;
  std::string CompName;
};

// The status data of the device's answer to command 0x11 (the answer block
// without its first two bytes): 50 bytes, multi-byte fields little-endian.
struct TStatusRec {
  static constexpr int Size = 50;

  uint8_t OperatorNumber = 0;      // offset 0
  uint32_t VersionFR = 0;          // 1
  uint16_t BuildFR = 0;            // 5
  uint8_t DayFR = 0;               // 7
  uint8_t MonthFR = 0;             // 8
  uint8_t YearFR = 0;              // 9
  uint8_t LogicalNumber = 0;       // 10
  uint16_t DocNumber = 0;          // 11
  uint16_t FlagsFR = 0;            // 13
  uint8_t ModeFr = 0;              // 15: low four bits 8 while a receipt is open
  uint8_t AdvansedModeFR = 0;      // 16
  uint8_t PortFR = 0;              // 17
  uint32_t VersionFP = 0;          // 18
  uint16_t BuildFP = 0;            // 22
  uint8_t DayFP = 0;               // 24
  uint8_t MonthFP = 0;             // 25
  uint8_t YearFP = 0;              // 26
  uint8_t Day = 0;                 // 27
  uint8_t Month = 0;               // 28
  uint8_t Year = 0;                // 29
  uint8_t Hour = 0;                // 30
  uint8_t Minute = 0;              // 31
  uint8_t Second = 0;              // 32
  uint8_t FlagsFP = 0;             // 33
  uint32_t SerialNumber = 0;       // 34
  uint16_t SessionNumber = 0;      // 38
  uint16_t FreeRecordInCM = 0;     // 40
  uint8_t RegistrationNumber = 0;  // 42
  uint8_t FreeRegistration = 0;    // 43
  uint64_t INN = 0;                // 44, 6 bytes

  // The 50 bytes of the record.
  std::string Encode() const;
  // The record of 50 bytes (missing bytes read as 0, extra ones are ignored).
  static TStatusRec Decode(std::string_view Data);
  // Overwrites the leading bytes of the record with Data (at most 50): a
  // shorter block changes only the fields, or parts of fields, it covers.
  void Update(std::string_view Data);

  bool operator==(const TStatusRec&) const = default;
};

// The serial port and protocol of a served port.
struct TPortDevices {
  PSerialPort Port;
  PPrinterProtocol Protocol;
};
// Creates them for the port's parameters (ComNumber and ProtocolType set).
using TPortCreator = std::function<TPortDevices(const PConnectionParams& Params)>;
// TComPort and the protocol that ProtocolFactoryOf chooses by ProtocolType.
TPortDevices DefaultPortDevices(const PConnectionParams& Params);

class TPrinterPorts : public std::enable_shared_from_this<TPrinterPorts> {
 public:
  using TOnChange = std::function<void(TPrinterPort* Sender, TChangeType ChangeType)>;

  ~TPrinterPorts();
  TPrinterPorts(const TPrinterPorts&) = delete;
  TPrinterPorts& operator=(const TPrinterPorts&) = delete;

  // The process-wide registry, created on first demand.
  static PPrinterPorts Instance();

  // A new port; it lives as long as someone holds it.
  PPrinterPort Add(int PortNumber, int AProtocolType);
  // The first port with the number or identifier, or nothing.
  PPrinterPort ItemByPortNumber(int Value);
  PPrinterPort ItemByID(int ID);
  int Count();
  PPrinterPort Items(int Index);

  // Applies the current AutoPortClose and CloseTimeout to every port's timer.
  void UpdateTimers();

  // For readers that walk the list.
  void Lock() { FCS.lock(); }
  void Unlock() { FCS.unlock(); }

  // Called after a port joined (ctInsert), before it leaves (ctRemove), and
  // when its lock changed (ctChange); on the thread that made the change.
  void SetOnChange(TOnChange Value);

  // The settings belong to the registry and end with it; the main window
  // holds a link for the program's life and applies them at start.
  TLockSettings Settings();
  // Takes effect for new ports and, for existing ones, at UpdateTimers and at
  // each restart of their time-out.
  void SetSettings(const TLockSettings& Value);
  // Both: the settings in force from now on, for every port.
  void ApplySettings(const TLockSettings& Value) {
    SetSettings(Value);
    UpdateTimers();
  }

  // What creates the serial port and protocol of new ports; an empty
  // function restores DefaultPortDevices.
  void SetPortCreator(TPortCreator Value);

 private:
  friend class TPrinterPort;
  TPrinterPorts();

  void Insert(TPrinterPort* Port);
  void Remove(TPrinterPort* Port);
  void Notify(TPrinterPort* Port, TChangeType ChangeType);
  TPortCreator Creator();

  std::recursive_mutex FCS;
  std::vector<TPrinterPort*> FList;  // in creation order; not owned
  TOnChange FOnChange;
  TLockSettings FSettings;
  TPortCreator FCreator;
};

// A hold on the registry.
class TPrinterPortsLink {
 public:
  TPrinterPortsLink() : FPorts(TPrinterPorts::Instance()) {}
  TPrinterPorts* operator->() const { return FPorts.get(); }
  const PPrinterPorts& Ports() const { return FPorts; }

 private:
  PPrinterPorts FPorts;
};

class TPrinterPort : public std::enable_shared_from_this<TPrinterPort> {
 public:
  // Parameters, serial port and protocol for the number and protocol type,
  // the next identifier, the armed timer, and a place in the registry.
  static PPrinterPort CreatePort(const PPrinterPorts& AOwner, int PortNumber, int AProtocolType);
  // Leaves the registry, closes the serial port, frees the timer.
  ~TPrinterPort();
  TPrinterPort(const TPrinterPort&) = delete;
  TPrinterPort& operator=(const TPrinterPort&) = delete;

  // ClientID is the calling server object's identifier; 0 is the administrator.
  void OpenPort(int ClientID);
  void ClosePort(int ClientID);
  bool LockPort(const TLockerRec& ALocker);
  bool UnlockPort(int ClientID);
  void OpenCheck(int APassword);
  void CloseCheck();
  // One client command; errors of the link propagate.
  void SendData(int CmdTimeout, const std::string& Data);

  // The critical section of one client command.
  void Lock() { FCS.lock(); }
  void Unlock() { FCS.unlock(); }
  std::recursive_mutex& CS() { return FCS; }

  // With AutoRecCancel on, the serial port open and a receipt reported open:
  // asks the device's status and cancels the receipt when one is open there.
  // Never raises; the receipt flag stays set unless the cancel went through.
  void CancelOpenReceipt();

  int ID() const { return FID; }
  int PortNumber() const { return FPortNumber; }
  uint32_t AppPID() const { return FAppPID; }
  const std::string& AppName() const { return FAppName; }
  const std::string& CompName() const { return FCompName; }
  bool Locked() const { return FLocked; }
  int LockerID() const { return FLockerID; }
  bool CheckOpened() const { return FCheckOpened; }
  int Password() const { return FPassword; }
  bool Opened() const;
  int BaudRate() const { return FParams->BaudRate; }
  void SetBaudRate(int Value) { FParams->BaudRate = Value; }
  int Timeout() const { return FParams->Timeout; }
  void SetTimeout(int Value) { FParams->Timeout = Value; }
  int ProtocolType() const { return FParams->ProtocolType; }

  // The device's error byte in the last answer.
  int ResultCode() const { return AnswerResultCode(FCommand.Answer); }
  std::string ResultDescription() const { return {}; }
  const std::string& Answer() const { return FCommand.Answer; }
  const std::string& RawAnswer() const { return FCommand.RxData; }
  const std::string& RawTxData() const { return FCommand.TxData; }

  const TStatusRec& Status() const { return FStatus; }
  const TTimer& Timer() const { return *FTimer; }

 private:
  friend class TPrinterPorts;
  TPrinterPort(const PPrinterPorts& AOwner, int PortNumber, int AProtocolType);

  void ArmTimer();
  void RestartTimeout();
  void TimerExpired();
  // The port's own command: true when the device answered with error byte 0.
  bool SendOwnCommand(const std::string& Block);

  const PPrinterPorts FOwner;
  const int FPortNumber;
  const int FID;
  TLogger FLogger{"TPrinterPort"};
  PConnectionParams FParams;
  PSerialPort FPort;
  PPrinterProtocol FProtocol;
  std::unique_ptr<TTimer> FTimer;
  TCommandRec FCommand;
  TStatusRec FStatus;
  uint32_t FAppPID = 0;
  std::string FAppName;
  std::string FCompName;
  bool FLocked = false;
  int FLockerID = 0;
  int FPassword = 0;
  bool FCheckOpened = false;
  std::recursive_mutex FCS;
};

// A client's hold on the port with a number: finds the port in the registry or
// creates it with the protocol type.
class TPrinterPortLink {
 public:
  TPrinterPortLink(const PPrinterPorts& Ports, int PortNumber, int AProtocolType);
  TPrinterPort& Port() const { return *FPort; }
  TPrinterPort* operator->() const { return FPort.get(); }

 private:
  PPrinterPort FPort;
};
