#pragma once
// The fiscal-register driver as Kestrel and TesselBench see it.
//
// A caller sets input properties, calls a method that takes no arguments and
// gets an integer result code, 0 for success. After every call the same code
// stands in ResultCode and its text in ResultCodeDescription, ECRInput and
// ECROutput hold the last command and answer, OperatorNumber the operator;
// output properties are valid only after success. Every device method
// authenticates with Password.
//
// Properties are reached by id (GetValue, SetValue) or through the typed
// accessors generated from the catalogue, one pair per property and one
// function per method:
//
//   Driver.SetTableNumber(18);           // int
//   Driver.SetSumm1(TMoney::FromUnits(1000000));
//   if (Driver.ReadTable() == 0) Text = Driver.ValueOfFieldString();
//
// A misspelt name does not compile. (A setter and a method may share a name,
// as SetDate(QDate) and the method SetDate(); the arguments tell them apart.)
//
// Calls of one instance are serialised: every access takes the instance's
// lock, so worker threads may share an instance without corrupting it. A
// caller that needs several accesses to stay together (set inputs, call,
// read outputs) holds Lock() across them; the lock is recursive.
//
// An implementation derives from IDriver (usually through TStoredDriver) and
// provides DoGetValue, DoSetValue and DoCall; they always run under the lock.

#include <QVariant>
#include <mutex>
#include <stdexcept>
#include <string>

#include "driver/Catalogue.h"
#include "driver/ValueType.h"

// A failure of access by name or of a value that does not fit its property.
// what() is the message in UTF-8, already translated.
class EDriverAccessError : public std::runtime_error {
 public:
  explicit EDriverAccessError(const QString& Message);
  QString Message() const { return QString::fromUtf8(what()); }
};

// The message of EDriverAccessError for a value that does not fit a property.
QString ValueMismatchMessage(TPropertyId Id, const QVariant& Value);

class IDriver {
 public:
  virtual ~IDriver() = default;
  IDriver(const IDriver&) = delete;
  IDriver& operator=(const IDriver&) = delete;

  // The property's value, always of the Qt type of its catalogue type.
  QVariant GetValue(TPropertyId Id) const;
  // Converts the value to the property's type (ConvertValue); a value that
  // does not fit raises EDriverAccessError and changes nothing.
  void SetValue(TPropertyId Id, const QVariant& Value);
  // Runs the method and returns its result code, which then also stands in
  // ResultCode (whatever the implementation stored there).
  int Call(TMethodId Id);

  // Holds the instance for a sequence of accesses.
  [[nodiscard]] std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(FMutex);
  }

#define DRIVER_PROPERTY(Name, Kind)                                    \
  TValueOf<TValueType::Kind> Name() const {                            \
    return FromVariant<TValueType::Kind>(GetValue(TPropertyId::Name)); \
  }                                                                    \
  void Set##Name(const TValueOf<TValueType::Kind>& Value) {            \
    SetValue(TPropertyId::Name, ToVariant<TValueType::Kind>(Value));   \
  }
#define DRIVER_METHOD(Name)       \
  int Name() {                    \
    return Call(TMethodId::Name); \
  }
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD

 protected:
  IDriver() = default;

 private:
  // The stored value; the base turns a value of another type into the
  // property type's default.
  virtual QVariant DoGetValue(TPropertyId Id) const = 0;
  // The value is already of the property's Qt type.
  virtual void DoSetValue(TPropertyId Id, const QVariant& Value) = 0;
  // Runs the method; stores the code in ResultCode, its text in
  // ResultCodeDescription, the exchanged blocks in ECRInput and ECROutput,
  // and returns the code.
  virtual int DoCall(TMethodId Id) = 0;

  mutable std::recursive_mutex FMutex;
};
