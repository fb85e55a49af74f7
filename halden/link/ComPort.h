#pragma once
// The serial port under the link protocols, on a termios device.

#include "common/logging/Logger.h"
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
};
