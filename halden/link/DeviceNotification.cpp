#include "halden/link/DeviceNotification.h"

#include <cerrno>
#include <cstdio>

bool TDeviceNotification::IsRemovalError(int Err) { return Err == EIO || Err == ENXIO || Err == ENODEV; }

void TDeviceNotification::DeviceChange(int Event) {
  if (!Installed()) return;
  char text[32];
  std::snprintf(text, sizeof text, "DEVICECHANGE: %.4X", static_cast<unsigned>(Event) & 0xFFFFu);
  FLogger.Debug(text);
  if (OnDeviceChange) OnDeviceChange(*this, Event);
}
