#pragma once
// Removal of the device behind an open serial port.
//
// Windows delivers a device-change message (0x219) to a hidden window; Linux
// has no such message for a tty. Here the port itself notices the removal on
// its own thread at the next I/O (poll reports POLLHUP or POLLERR, read
// returns 0, or a call fails with EIO, ENXIO or ENODEV) and hands it to the
// notification it installed on the descriptor, which logs and calls
// OnDeviceChange with the removal-complete event, as the message would.
// Registration cannot fail, so "Device Notification not assigned" has no
// counterpart.

#include <functional>

#include "common/logging/Logger.h"

class TDeviceNotification {
 public:
  // DBT_DEVICEREMOVECOMPLETE: the device has been removed.
  static constexpr int DBT_DEVICEREMOVECOMPLETE = 0x8004;

  using TDeviceChangeEvent = std::function<void(TDeviceNotification& Sender, int Event)>;

  TDeviceNotification() : FLogger("TDeviceNotification") {}
  ~TDeviceNotification() { Uninstall(); }
  TDeviceNotification(const TDeviceNotification&) = delete;
  TDeviceNotification& operator=(const TDeviceNotification&) = delete;

  // Watches the descriptor from now on.
  void Install(int Handle) { FHandle = Handle; }
  void Uninstall() { FHandle = -1; }
  bool Installed() const { return FHandle >= 0; }
  int Handle() const { return FHandle; }

  // True for an errno that means the device behind the descriptor is gone.
  static bool IsRemovalError(int Err);

  // The device-change message: logs "DEVICECHANGE: " and the event as 4
  // upper-case hexadecimal digits, then calls OnDeviceChange. Ignored while
  // nothing is installed.
  void DeviceChange(int Event);
  // The removal seen by the port's I/O on the installed descriptor.
  void DeviceRemoved() { DeviceChange(DBT_DEVICEREMOVECOMPLETE); }

  TDeviceChangeEvent OnDeviceChange;

 private:
  TLogger FLogger;
  int FHandle = -1;
};
