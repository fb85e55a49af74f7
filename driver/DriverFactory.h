#pragma once
// Creating driver instances. The programs' entries register the factory of
// the implementation they ship (the tessel library); the interface knows none.
// Without a registered factory no driver is installed: CreateDriver answers
// null with the text "Драйвер ФР не установлен", which Kestrel's first page
// and TesselBench's "Ошибка создания объекта драйвера: " report.

#include <QString>
#include <compare>
#include <functional>
#include <memory>

#include "driver/IDriver.h"

using TDriverFactory = std::function<std::unique_ptr<IDriver>()>;

// Replaces the registered factory; an empty function removes it.
void RegisterDriverFactory(TDriverFactory Factory);
bool DriverInstalled();

// A new instance, or null with the reason in *Error (when given): no factory
// ("Драйвер ФР не установлен"), a factory that answered null (the same text),
// or the text of the exception the factory raised.
std::unique_ptr<IDriver> CreateDriver(QString* Error = nullptr);

// The version an instance reports in DriverMajorVersion, DriverMinorVersion,
// DriverRelease and DriverBuild, compared part by part from major to build.
struct TDriverVersion {
  int Major = 0;
  int Minor = 0;
  int Release = 0;
  int Build = 0;

  auto operator<=>(const TDriverVersion&) const = default;
  // "4.15.0.600"
  QString ToText() const;
};

TDriverVersion DriverVersionOf(const IDriver& Driver);
