#include "halden/link/Link.h"
#include "tessel/KktDevice.h"
#include "tessel/Transport.h"

namespace tessel {

namespace {

// Every instance reaches the same device; opening and closing only mark the
// instance's own connection, the device lives on.
class TInProcessTransport : public ITransport {
 public:
  void Open() override {
    if (!InProcessDevice()) RaiseError(E_PORTNOTAVAILABLE, S_PORTNOTAVAILABLE);
    FOpened = true;
  }
  void Close() override { FOpened = false; }
  bool Opened() const override { return FOpened; }
  std::string Exchange(const std::string& Command, int /*TimeoutMs*/) override {
    if (!FOpened) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    return ExecuteInProcess(Command);
  }

 private:
  bool FOpened = false;
};

}  // namespace

PTransport CreateInProcessTransport() {
  return std::make_unique<TInProcessTransport>();
}

}  // namespace tessel
