#include "tessel/vkkt/DeviceTables.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <stdexcept>

#include "tessel/vkkt/DeviceErrors.h"

namespace vkkt {

namespace {

[[noreturn]] void Fail(const QString& What) {
  throw std::runtime_error(("device table data: " + What).toStdString());
}

QString ValueText(const QJsonValue& V) {
  if (V.isString()) return V.toString();
  if (V.isDouble()) return QString::number(static_cast<qint64>(V.toDouble()));
  Fail("a value is neither a number nor a text");
}

QString WithRow(QString Text, int Row) {
  return Text.replace("$row", QString::number(Row));
}

}  // namespace

std::vector<TTableStruct> ParseTableStructures(const QByteArray& Json) {
  QJsonParseError Error;
  const QJsonDocument Doc = QJsonDocument::fromJson(Json, &Error);
  if (Doc.isNull()) Fail(Error.errorString());
  std::vector<TTableStruct> Result;
  for (const QJsonValue& TV : Doc.object().value("tables").toArray()) {
    const QJsonObject TO = TV.toObject();
    TTableStruct T;
    T.Number = TO.value("number").toInt();
    T.Name = TO.value("name").toString();
    T.Rows = TO.value("rows").toInt();
    if (T.Number != static_cast<int>(Result.size()) + 1) Fail("tables are not numbered 1, 2, ...");
    if (T.Name.isEmpty() || T.Rows < 1)
      Fail(QString("table %1 lacks a name or rows").arg(T.Number));
    for (const QJsonValue& FV : TO.value("fields").toArray()) {
      const QJsonObject FO = FV.toObject();
      TFieldStruct F;
      F.Name = FO.value("name").toString();
      const QString Type = FO.value("type").toString();
      F.IsString = Type == "string";
      if (!F.IsString && Type != "int") Fail(QString("table %1: unknown field type").arg(T.Number));
      F.Size = FO.value("size").toInt();
      F.ReadOnly = FO.value("readonly").toBool();
      F.Default = ValueText(FO.value("default"));
      if (!F.IsString) {
        F.Min = static_cast<std::int64_t>(FO.value("min").toDouble());
        F.Max = static_cast<std::int64_t>(FO.value("max").toDouble());
        if (F.Size < 1 || F.Size > 4 || F.Min < 0 || F.Min > F.Max ||
            F.Max > (std::int64_t{1} << (8 * F.Size)) - 1)
          Fail(QString("table %1: bad integer field %2").arg(T.Number).arg(F.Name));
      } else if (F.Size < 1) {
        Fail(QString("table %1: bad string field %2").arg(T.Number).arg(F.Name));
      }
      T.Fields.push_back(F);
    }
    if (T.Fields.empty()) Fail(QString("table %1 has no fields").arg(T.Number));
    for (const QJsonValue& VV : TO.value("values").toArray()) {
      const QJsonObject VO = VV.toObject();
      const int Row = VO.value("row").toInt(), Field = VO.value("field").toInt();
      if (Row < 1 || Row > T.Rows || Field < 1 || Field > static_cast<int>(T.Fields.size()))
        Fail(QString("table %1: a value outside the table").arg(T.Number));
      T.Values[{Row, Field}] = ValueText(VO.value("value"));
    }
    Result.push_back(std::move(T));
  }
  if (Result.empty()) Fail("no tables");
  return Result;
}

const std::vector<TTableStruct>& TableStructures() {
  static const std::vector<TTableStruct> Tables = ParseTableStructures(TableDataText());
  return Tables;
}

TDeviceTables::TDeviceTables() {
  Init(0);
}

TFieldValue TDeviceTables::FactoryValue(const TTableStruct& T, int Row, int Field) {
  const TFieldStruct& F = T.Fields[Field - 1];
  const auto It = T.Values.find({Row, Field});
  const QString Text = WithRow(It != T.Values.end() ? It->second : F.Default, Row);
  if (F.IsString) return Text;
  return static_cast<std::int64_t>(Text.toLongLong());
}

std::uint8_t TDeviceTables::Init(int Table) {
  bool Found = false;
  for (const TTableStruct& T : TableStructures()) {
    if (Table != 0 && T.Number != Table) continue;
    Found = true;
    auto& Rows = FValues[T.Number];
    Rows.assign(T.Rows, {});
    for (int R = 1; R <= T.Rows; ++R)
      for (int F = 1; F <= static_cast<int>(T.Fields.size()); ++F)
        Rows[R - 1].push_back(FactoryValue(T, R, F));
  }
  return Found ? kOk : kNoSuchField;
}

std::uint8_t TDeviceTables::GetTableStruct(int Table, const TTableStruct** Struct) const {
  const auto& Tables = TableStructures();
  if (Table < 1 || Table > static_cast<int>(Tables.size())) return kNoSuchField;
  *Struct = &Tables[Table - 1];
  return kOk;
}

std::uint8_t TDeviceTables::GetFieldStruct(int Table, int Field,
                                           const TFieldStruct** Struct) const {
  const TTableStruct* T = nullptr;
  if (std::uint8_t E = GetTableStruct(Table, &T)) return E;
  if (Field < 1 || Field > static_cast<int>(T->Fields.size())) return kNoSuchField;
  *Struct = &T->Fields[Field - 1];
  return kOk;
}

std::uint8_t TDeviceTables::Locate(int Table, int Row, int Field, const TTableStruct** T,
                                   const TFieldStruct** F) const {
  if (std::uint8_t E = GetTableStruct(Table, T)) return E;
  if (std::uint8_t E = GetFieldStruct(Table, Field, F)) return E;
  if (Row < 1 || Row > (*T)->Rows) return kBadRow;
  return kOk;
}

std::uint8_t TDeviceTables::Read(int Table, int Row, int Field, TFieldValue& Value) const {
  const TTableStruct* T = nullptr;
  const TFieldStruct* F = nullptr;
  if (std::uint8_t E = Locate(Table, Row, Field, &T, &F)) return E;
  Value = FValues.at(Table)[Row - 1][Field - 1];
  return kOk;
}

std::uint8_t TDeviceTables::Write(int Table, int Row, int Field, const TFieldValue& Value) {
  const TTableStruct* T = nullptr;
  const TFieldStruct* F = nullptr;
  if (std::uint8_t E = Locate(Table, Row, Field, &T, &F)) return E;
  if (F->ReadOnly) return kReadOnlyField;
  TFieldValue Stored;
  if (F->IsString) {
    if (!std::holds_alternative<QString>(Value)) return kBadValue;
    const QString& Text = std::get<QString>(Value);
    if (Text.size() > F->Size) return kBadValue;
    Stored = Text;
  } else {
    std::int64_t Number = 0;
    if (const auto* Text = std::get_if<QString>(&Value)) {
      bool Ok = false;
      const QString Trimmed = Text->trimmed();
      Number = Trimmed.toLongLong(&Ok);
      if (!Ok || Trimmed.startsWith('+') || Trimmed.startsWith('-')) return kBadValue;
    } else {
      Number = std::get<std::int64_t>(Value);
    }
    if (Number < F->Min || Number > F->Max) return kBadValue;
    Stored = Number;
  }
  FValues[Table][Row - 1][Field - 1] = Stored;
  return kOk;
}

void TDeviceTables::Set(int Table, int Row, int Field, const TFieldValue& Value) {
  const TTableStruct* T = nullptr;
  const TFieldStruct* F = nullptr;
  if (Locate(Table, Row, Field, &T, &F) == kOk) FValues[Table][Row - 1][Field - 1] = Value;
}

std::int64_t TDeviceTables::Int(int Table, int Row, int Field) const {
  TFieldValue V;
  if (Read(Table, Row, Field, V) != kOk) return 0;
  if (const auto* N = std::get_if<std::int64_t>(&V)) return *N;
  return std::get<QString>(V).toLongLong();
}

QString TDeviceTables::Text(int Table, int Row, int Field) const {
  TFieldValue V;
  if (Read(Table, Row, Field, V) != kOk) return {};
  if (const auto* S = std::get_if<QString>(&V)) return *S;
  return QString::number(std::get<std::int64_t>(V));
}

}  // namespace vkkt
