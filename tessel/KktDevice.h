#pragma once
// The device behind the in-process transport (ConnectionType 7), and the one
// instance of it that every driver instance of the process reaches.
//
// The virtual KKT (tessel/vkkt) implements IKktDevice and defines
// CreateVirtualKkt; when that library is part of the build the in-process
// device is created with it. Tests may put a device of their own in its
// place with SetInProcessDeviceFactory.

#include <functional>
#include <memory>
#include <string>

namespace tessel {

class IKktDevice {
 public:
  virtual ~IKktDevice() = default;
  // One command block in, its answer block out. A block the device cannot
  // read is answered with an error byte, never with an exception. Calls
  // through ExecuteInProcess are serialised; the device needs no lock of its
  // own for them.
  virtual std::string Execute(const std::string& Command) = 0;
};
using PKktDevice = std::shared_ptr<IKktDevice>;
using TKktDeviceFactory = std::function<PKktDevice()>;

// Defined by the virtual KKT library: a new device in its initial state.
PKktDevice CreateVirtualKkt();

// Replaces the factory of the in-process device and drops the current device,
// so that the next command meets a new one. An empty factory restores the
// default (the virtual KKT when it is built, else no device).
void SetInProcessDeviceFactory(TKktDeviceFactory Factory);

// The process's device, created on first use; null when there is none.
// Creating and freeing driver instances never replaces it.
PKktDevice InProcessDevice();

// Runs one block on the process's device under the process-wide lock.
// Without a device raises EDriverError -2 ("СOM порт недоступен").
std::string ExecuteInProcess(const std::string& Command);

}  // namespace tessel
