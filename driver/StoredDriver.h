#pragma once
// A driver implementation base that keeps every property in memory: values
// start as their type's default (DefaultValue) and hold what was last stored.
// Derived classes implement DoCall and answer through Finish or NotSupported.

#include <array>

#include "driver/IDriver.h"

class TStoredDriver : public IDriver {
 protected:
  TStoredDriver();

  // Direct access to the store, for the implementation's own outputs. Store
  // converts like SetValue and raises EDriverAccessError for a value that
  // does not fit.
  const QVariant& Stored(TPropertyId Id) const { return FValues[static_cast<int>(Id)]; }
  void Store(TPropertyId Id, const QVariant& Value);

  // Ends a call: ResultCode := Code, ResultCodeDescription := Description;
  // returns Code.
  int Finish(int Code, const QString& Description);
  // Ends a call with kResultNotSupported and its text.
  int NotSupported();

  QVariant DoGetValue(TPropertyId Id) const override { return Stored(Id); }
  void DoSetValue(TPropertyId Id, const QVariant& Value) override {
    FValues[static_cast<int>(Id)] = Value;
  }

 private:
  std::array<QVariant, kPropertyCount> FValues;
};
