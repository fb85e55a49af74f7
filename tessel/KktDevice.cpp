#include "tessel/KktDevice.h"

#include <mutex>

#include "halden/link/Link.h"

namespace tessel {

namespace {

struct TInProcess {
  std::mutex Mutex;
  TKktDeviceFactory Factory;
  PKktDevice Device;
};

TInProcess& State() {
  static TInProcess* S = new TInProcess;  // lives to the end of the process
  return *S;
}

TKktDeviceFactory DefaultFactory() {
#ifdef VARKON_HAVE_VKKT
  return [] { return CreateVirtualKkt(); };
#else
  return {};
#endif
}

PKktDevice DeviceLocked(TInProcess& S) {
  if (!S.Device) {
    if (!S.Factory) S.Factory = DefaultFactory();
    if (S.Factory) S.Device = S.Factory();
  }
  return S.Device;
}

}  // namespace

void SetInProcessDeviceFactory(TKktDeviceFactory Factory) {
  TInProcess& S = State();
  std::lock_guard<std::mutex> Guard(S.Mutex);
  S.Factory = std::move(Factory);
  S.Device.reset();
}

PKktDevice InProcessDevice() {
  TInProcess& S = State();
  std::lock_guard<std::mutex> Guard(S.Mutex);
  return DeviceLocked(S);
}

std::string ExecuteInProcess(const std::string& Command) {
  TInProcess& S = State();
  std::lock_guard<std::mutex> Guard(S.Mutex);
  const PKktDevice Device = DeviceLocked(S);
  if (!Device) RaiseError(E_PORTNOTAVAILABLE, S_PORTNOTAVAILABLE);
  return Device->Execute(Command);
}

}  // namespace tessel
