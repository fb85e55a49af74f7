#include "driver/IDriver.h"

#include "common/text/Intl.h"

EDriverAccessError::EDriverAccessError(const QString& Message)
    : std::runtime_error(Message.toStdString()) {}

QString ValueMismatchMessage(TPropertyId Id, const QVariant& Value) {
  return QString::fromUtf8(_("Свойство драйвера %1 имеет тип %2 и не принимает значение типа %3"))
      .arg(QString::fromLatin1(PropertyName(Id)),
           QString::fromLatin1(ValueTypeName(PropertyType(Id))), VariantTypeName(Value));
}

QVariant IDriver::GetValue(TPropertyId Id) const {
  std::lock_guard<std::recursive_mutex> Guard(FMutex);
  QVariant Value = DoGetValue(Id);
  const TValueType Type = PropertyType(Id);
  if (Type == TValueType::Variant) return Value;
  if (Value.metaType() != DefaultValue(Type).metaType()) return DefaultValue(Type);
  return Value;
}

void IDriver::SetValue(TPropertyId Id, const QVariant& Value) {
  const std::optional<QVariant> Converted = ConvertValue(PropertyType(Id), Value);
  if (!Converted) throw EDriverAccessError(ValueMismatchMessage(Id, Value));
  std::lock_guard<std::recursive_mutex> Guard(FMutex);
  DoSetValue(Id, *Converted);
}

int IDriver::Call(TMethodId Id) {
  std::lock_guard<std::recursive_mutex> Guard(FMutex);
  const int Code = DoCall(Id);
  // The returned code always stands in ResultCode too.
  const QVariant Stored = QVariant::fromValue(Code);
  if (DoGetValue(TPropertyId::ResultCode) != Stored) DoSetValue(TPropertyId::ResultCode, Stored);
  return Code;
}
