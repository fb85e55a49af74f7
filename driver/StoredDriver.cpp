#include "driver/StoredDriver.h"

#include "driver/ResultCodes.h"

TStoredDriver::TStoredDriver() {
  for (const TPropertyInfo& Info : AllProperties()) {
    FValues[static_cast<int>(Info.Id)] = DefaultValue(Info.Type);
  }
}

void TStoredDriver::Store(TPropertyId Id, const QVariant& Value) {
  const std::optional<QVariant> Converted = ConvertValue(PropertyType(Id), Value);
  if (!Converted) throw EDriverAccessError(ValueMismatchMessage(Id, Value));
  FValues[static_cast<int>(Id)] = *Converted;
}

int TStoredDriver::Finish(int Code, const QString& Description) {
  FValues[static_cast<int>(TPropertyId::ResultCode)] = QVariant::fromValue(Code);
  FValues[static_cast<int>(TPropertyId::ResultCodeDescription)] = QVariant::fromValue(Description);
  return Code;
}

int TStoredDriver::NotSupported() {
  return Finish(kResultNotSupported, NotSupportedDescription());
}
