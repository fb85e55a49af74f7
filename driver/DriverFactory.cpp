#include "driver/DriverFactory.h"

#include <exception>
#include <mutex>

#include "common/text/Intl.h"

namespace {

std::mutex& FactoryMutex() {
  static std::mutex Mutex;
  return Mutex;
}

TDriverFactory& Registered() {
  static TDriverFactory Factory;
  return Factory;
}

QString NotInstalledText() {
  return QString::fromUtf8(_("Драйвер ФР не установлен"));
}

}  // namespace

void RegisterDriverFactory(TDriverFactory Factory) {
  std::lock_guard<std::mutex> Guard(FactoryMutex());
  Registered() = std::move(Factory);
}

bool DriverInstalled() {
  std::lock_guard<std::mutex> Guard(FactoryMutex());
  return static_cast<bool>(Registered());
}

std::unique_ptr<IDriver> CreateDriver(QString* Error) {
  TDriverFactory Factory;
  {
    std::lock_guard<std::mutex> Guard(FactoryMutex());
    Factory = Registered();
  }
  QString Reason = NotInstalledText();
  std::unique_ptr<IDriver> Driver;
  if (Factory) {
    try {
      Driver = Factory();
    } catch (const std::exception& E) {
      Reason = QString::fromUtf8(E.what());
    }
  }
  if (!Driver && Error) *Error = Reason;
  return Driver;
}

QString TDriverVersion::ToText() const {
  return QStringLiteral("%1.%2.%3.%4").arg(Major).arg(Minor).arg(Release).arg(Build);
}

TDriverVersion DriverVersionOf(const IDriver& Driver) {
  auto Guard = Driver.Lock();
  return {Driver.DriverMajorVersion(), Driver.DriverMinorVersion(), Driver.DriverRelease(),
          Driver.DriverBuild()};
}
