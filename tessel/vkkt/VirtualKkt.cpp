// The virtual KKT as the in-process device of the stand-in driver: every
// driver instance of the process reaches the one device that
// tessel::InProcessDevice() creates with this function.

#include <memory>

#include "tessel/KktDevice.h"
#include "tessel/vkkt/Device.h"

namespace tessel {

namespace {

class TVirtualKkt : public IKktDevice {
 public:
  std::string Execute(const std::string& Command) override {
    const QByteArray Answer =
        FDevice.Execute(QByteArray(Command.data(), static_cast<qsizetype>(Command.size())));
    return std::string(Answer.constData(), static_cast<std::size_t>(Answer.size()));
  }

 private:
  vkkt::TDevice FDevice;
};

}  // namespace

PKktDevice CreateVirtualKkt() {
  return std::make_shared<TVirtualKkt>();
}

}  // namespace tessel
