#include "driver/ByName.h"

#include "common/text/Intl.h"

TPropertyId PropertyIdByName(QStringView Name) {
  const auto Id = FindProperty(Name);
  if (!Id) {
    throw EDriverAccessError(
        QString::fromUtf8(_("Неизвестное свойство драйвера: %1")).arg(Name.toString()));
  }
  return *Id;
}

TMethodId MethodIdByName(QStringView Name) {
  const auto Id = FindMethod(Name);
  if (!Id) {
    throw EDriverAccessError(
        QString::fromUtf8(_("Неизвестный метод драйвера: %1")).arg(Name.toString()));
  }
  return *Id;
}

QVariant GetPropertyByName(const IDriver& Driver, QStringView Name) {
  return Driver.GetValue(PropertyIdByName(Name));
}

void SetPropertyByName(IDriver& Driver, QStringView Name, const QVariant& Value) {
  Driver.SetValue(PropertyIdByName(Name), Value);
}

int CallMethodByName(IDriver& Driver, QStringView Name) {
  return Driver.Call(MethodIdByName(Name));
}
