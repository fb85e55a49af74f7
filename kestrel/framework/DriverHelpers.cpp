#include "kestrel/framework/DriverHelpers.h"

#include <QThread>

#include "common/text/Intl.h"
#include "driver/ResultCodes.h"
#include "kestrel/framework/KestrelError.h"

QString ResultErrorText(int Code, const QString& Description) {
  return Text(_("Ошибка %1, %2")).arg(Code).arg(Description);
}

void CheckResult(IDriver& Driver, int Code) {
  if (Code != kResultOk) throw EKestrelError(ResultErrorText(Code, Driver.ResultCodeDescription()));
}

int TableNumberOf(IDriver& Driver, int Table) {
  int Param = 0;
  switch (Table) {
    case 18:
      Param = 72;
      break;
    case 19:
      Param = 73;
      break;
    case 24:
      Param = 75;
      break;
    default:
      return Table;
  }
  auto L = Driver.Lock();
  Driver.SetModelParamNumber(Param);
  CheckResult(Driver, Driver.ReadModelParamValue());
  return Driver.ModelParamValue().toInt();
}

namespace {

void SetCell(IDriver& Driver, int Table, int Row, int Field) {
  Driver.SetTableNumber(TableNumberOf(Driver, Table));
  Driver.SetRowNumber(Row);
  Driver.SetFieldNumber(Field);
}

}  // namespace

void WriteTableStr(IDriver& Driver, int Table, int Row, int Field, const QString& Value) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  Driver.SetValueOfFieldString(Value);
  CheckResult(Driver, Driver.WriteTable());
}

void WriteTableInt(IDriver& Driver, int Table, int Row, int Field, qint64 Value) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  CheckResult(Driver, Driver.GetFieldStruct());
  if (Driver.FieldType())
    Driver.SetValueOfFieldString(QString::number(Value));
  else
    Driver.SetValueOfFieldInteger(Value);
  CheckResult(Driver, Driver.WriteTable());
}

void WriteTableIntRow1(IDriver& Driver, int Table, int Field, qint64 Value) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, 1, Field);
  Driver.SetValueOfFieldInteger(Value);
  CheckResult(Driver, Driver.WriteTable());
}

QString ReadTableStr(IDriver& Driver, int Table, int Row, int Field) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  CheckResult(Driver, Driver.ReadTable());
  return Driver.ValueOfFieldString();
}

qint64 ReadTableInt(IDriver& Driver, int Table, int Row, int Field) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  CheckResult(Driver, Driver.ReadTable());
  return Driver.ValueOfFieldInteger();
}

QString ReadTableStrDef(IDriver& Driver, int Table, int Row, int Field) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  const int Code = Driver.ReadTable();
  if (Code == kResultFieldMissing) return {};
  CheckResult(Driver, Code);
  return Driver.ValueOfFieldString();
}

qint64 ReadTableIntDef(IDriver& Driver, int Table, int Row, int Field) {
  auto L = Driver.Lock();
  SetCell(Driver, Table, Row, Field);
  const int Code = Driver.ReadTable();
  if (Code == kResultFieldMissing) return 0;
  CheckResult(Driver, Code);
  return Driver.ValueOfFieldInteger();
}

void RepeatWhileBusy(IDriver& Driver, const std::function<int()>& Call, int Limit, int PauseMs) {
  int Code = Call();
  for (int Count = 1; IsPrintingBusy(Code) && Count < Limit; ++Count) {
    if (PauseMs > 0) QThread::msleep(PauseMs);
    Code = Call();
  }
  CheckResult(Driver, Code);
}

void SendTag(IDriver& Driver) {
  RepeatWhileBusy(Driver, [&Driver] { return Driver.FNSendTag(); });
}

void SendTagStr(IDriver& Driver, int Tag, const QString& Value) {
  auto L = Driver.Lock();
  Driver.SetTagNumber(Tag);
  Driver.SetTagValueStr(Value);
  Driver.SetTagType(7);
  SendTag(Driver);
}

void SendTagByte(IDriver& Driver, int Tag, int Value) {
  auto L = Driver.Lock();
  Driver.SetTagNumber(Tag);
  Driver.SetTagValueInt(Value);
  Driver.SetTagType(0);
  SendTag(Driver);
}

bool UsesAltTableLayout(IDriver& Driver) {
  auto L = Driver.Lock();
  CheckResult(Driver, Driver.GetDeviceMetrics());
  Driver.SetModelParamNumber(28);
  if (Driver.ReadModelParamValue() != kResultOk) return false;
  const QVariant Value = Driver.ModelParamValue();
  return Value.typeId() == QMetaType::Bool && Value.toBool();
}

bool IsModel19(IDriver& Driver) {
  auto L = Driver.Lock();
  CheckResult(Driver, Driver.GetDeviceMetrics());
  return Driver.UModel() == 19;
}

int ReadFFDVersion(IDriver& Driver) {
  if (UsesAltTableLayout(Driver)) return static_cast<int>(ReadTableInt(Driver, 10, 1, 4));
  return static_cast<int>(ReadTableInt(Driver, 17, 1, 17));
}

void WriteFFDVersion(IDriver& Driver, int Version) {
  if (UsesAltTableLayout(Driver)) {
    WriteTableInt(Driver, 10, 1, 29, Version == 1 ? 0 : Version);
    return;
  }
  WriteTableInt(Driver, 17, 1, 17, Version);
  if (Version > 0) WriteTableInt(Driver, 17, 1, 3, 2);
}
