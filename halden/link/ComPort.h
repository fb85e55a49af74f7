#pragma once
// The serial port under the link protocols, on a termios device.
//
// COMn is the device file of the port map (DevicePathOf, read at every open).
// Opening takes flock(LOCK_EX|LOCK_NB): a device held by another process is
// -3, any other failure to open (permission denied included) -2. The line is
// 8N1 raw at the coded rate, no flow control, DTR and RTS dropped, CLOCAL.
//
// Time-outs (SetCmdTimeout): a read returns when its bytes are there, when the
// total time has passed since it began, or when the gap after a received byte
// exceeds the byte time-out (TConnectionParams.Timeout). The values come from
// remote clients, so none of them may stall the port for good:
//   - a byte time-out of 0 or below means no limit on the gap; the total holds;
//   - a total of 0 or below becomes the byte time-out, or kDefaultTimeoutMs
//     (1 s) when that is not positive either;
//   - any time-out above kMaxTimeoutMs (5 min) becomes kMaxTimeoutMs; this
//     bounds the ATimeout of ReadEx as well;
//   - a write may take the byte time-out per byte (at most kMaxTimeoutMs);
//     without a positive byte time-out, kDefaultTimeoutMs plus twice the wire
//     time of the block at the coded rate.
// Before the first SetCmdTimeout a read may take kDefaultTimeoutMs in all.
//
// Removal of the device is noticed at the next I/O of the calling thread
// (see TDeviceNotification): the removal is logged, the port closes and the
// call fails with -1 "Нет связи"; the next Open opens the device file anew.

#include <memory>

#include "common/logging/Logger.h"
#include "halden/link/DeviceNotification.h"
#include "halden/link/Link.h"

class TComPort : public ISerialPort {
 public:
  explicit TComPort(PConnectionParams AParams);
  ~TComPort() override;  // closes the port

  void Open() override;
  void Close() override;
  void Purge() override;
  void Write(const std::string& Data) override;
  void SetCmdTimeout(int Value) override;
  bool GetOpened() override;
  std::string Read(int Count) override;
  std::string ReadEx(int Count, int ATimeout) override;
  bool ReadChar(char& C) override;

  // "COM" followed by ComNumber.
  std::string DeviceName() const;

  static constexpr int kMaxTimeoutMs = 300000;
  static constexpr int kDefaultTimeoutMs = 1000;

 private:
  // Error counters of the line (TIOCGICOUNT), as last seen.
  struct TLineCounters {
    int Frame = 0, Overrun = 0, Parity = 0, Brk = 0, BufOverrun = 0;
  };

  void CreateHandle();
  void SetLine();
  // The error step: logs "<Operation> ERROR: 0x%.8x, %s", clears the error
  // state and raises -1 "Нет связи".
  [[noreturn]] void RaiseLastError(const char* Operation, int Err);
  // A removal found by an I/O call: the removal event, then the error step.
  [[noreturn]] void RaiseRemoved(const char* Operation, int Err);
  // Raises for a failed I/O call: removal or the error step.
  [[noreturn]] void RaiseIoError(const char* Operation, int Err);
  // Reads and resets the line's error counters, logging what changed.
  void ClearCommErrors();
  // The handler of the device notification.
  void DeviceChanged(int Event);
  // One read of up to Count bytes under the time-outs in force, its total
  // bounded by TotalMs. Returns the count read; Err is 0 or the errno.
  int ReadBlock(char* Buffer, int Count, int TotalMs, int& Err);
  // Writes the whole block within the write time-out: 0 or the errno.
  int WriteBlock(const std::string& Data);
  // Moves up to Count read-ahead bytes into Buffer; returns how many.
  int TakeInput(char* Buffer, int Count);

  TLogger FLogger;
  int FHandle = -1;
  // Bytes read from the device ahead of what was asked for: a read takes all
  // that is waiting in one call and later reads are served from here first.
  // Purge and Close discard them with the device's own queues.
  std::string FInput;
  std::size_t FInputPos = 0;
  PConnectionParams FParams;
  std::unique_ptr<TDeviceNotification> FNotification;

  int FByteTimeout = 0;                   // ms allowed between two bytes; 0: no limit
  int FReadTimeout = kDefaultTimeoutMs;   // ms for one read in all
  int FWriteByteTimeout = 0;              // ms per byte written; 0: see above
  bool FHasCounters = false;
  TLineCounters FCounters;
};

// The log text for a set of CE_ error flags:
// "ClearCommError.Errors: 0x%.8x, %s" with " CE_BREAK", " CE_FRAME", ... appended.
std::string CommErrorsText(unsigned Mask);
