#pragma once
// What carries the driver's command blocks to a device and its answers back.
// The in-process transport (ConnectionType 7) reaches the process's virtual
// KKT; the serial, Halden and TCP transports follow the same contract.

#include <memory>
#include <string>

namespace tessel {

class ITransport {
 public:
  virtual ~ITransport() = default;
  // Raise EDriverError (halden/link/Link.h) with the link's code on failure.
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual bool Opened() const = 0;
  // One command block out, its answer block back, within TimeoutMs of the
  // device's own time.
  virtual std::string Exchange(const std::string& Command, int TimeoutMs) = 0;
};
using PTransport = std::unique_ptr<ITransport>;

// ConnectionType 7: the process's one virtual KKT (tessel/KktDevice.h).
PTransport CreateInProcessTransport();

}  // namespace tessel
