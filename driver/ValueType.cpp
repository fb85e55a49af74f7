#include "driver/ValueType.h"

#include <limits>

namespace {

bool IsInteger(const QVariant& Value) {
  switch (Value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

bool IsUnsigned(const QVariant& Value) {
  switch (Value.metaType().id()) {
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

// An integer variant as qint64, none when it is no integer or beyond qint64.
std::optional<qint64> IntegerOf(const QVariant& Value) {
  if (!IsInteger(Value)) return std::nullopt;
  if (IsUnsigned(Value)) {
    const qulonglong U = Value.toULongLong();
    if (U > static_cast<qulonglong>(std::numeric_limits<qint64>::max())) return std::nullopt;
    return static_cast<qint64>(U);
  }
  return Value.toLongLong();
}

bool IsFloating(const QVariant& Value) {
  const int Id = Value.metaType().id();
  return Id == QMetaType::Double || Id == QMetaType::Float;
}

template <typename T>
bool Holds(const QVariant& Value) {
  return Value.metaType() == QMetaType::fromType<T>();
}

}  // namespace

const char* ValueTypeName(TValueType Type) {
  switch (Type) {
    case TValueType::Int:
      return "Int";
    case TValueType::Int64:
      return "Int64";
    case TValueType::Bool:
      return "Bool";
    case TValueType::Text:
      return "Text";
    case TValueType::Money:
      return "Money";
    case TValueType::Double:
      return "Double";
    case TValueType::Date:
      return "Date";
    case TValueType::Time:
      return "Time";
    case TValueType::DateTime:
      return "DateTime";
    case TValueType::Bytes:
      return "Bytes";
    case TValueType::Variant:
      return "Variant";
  }
  return "?";
}

QVariant DefaultValue(TValueType Type) {
  switch (Type) {
    case TValueType::Int:
      return QVariant::fromValue(0);
    case TValueType::Int64:
      return QVariant::fromValue(qint64(0));
    case TValueType::Bool:
      return QVariant::fromValue(false);
    case TValueType::Text:
      return QVariant::fromValue(QString());
    case TValueType::Money:
      return QVariant::fromValue(TMoney());
    case TValueType::Double:
      return QVariant::fromValue(0.0);
    case TValueType::Date:
      return QVariant::fromValue(QDate());
    case TValueType::Time:
      return QVariant::fromValue(QTime());
    case TValueType::DateTime:
      return QVariant::fromValue(QDateTime());
    case TValueType::Bytes:
      return QVariant::fromValue(QByteArray());
    case TValueType::Variant:
      return QVariant();
  }
  return QVariant();
}

std::optional<QVariant> ConvertValue(TValueType Type, const QVariant& Value) {
  switch (Type) {
    case TValueType::Int: {
      const auto I = IntegerOf(Value);
      if (!I || *I < std::numeric_limits<int>::min() || *I > std::numeric_limits<int>::max()) {
        return std::nullopt;
      }
      return QVariant::fromValue(static_cast<int>(*I));
    }
    case TValueType::Int64: {
      const auto I = IntegerOf(Value);
      if (!I) return std::nullopt;
      return QVariant::fromValue(static_cast<qint64>(*I));
    }
    case TValueType::Money: {
      if (Holds<TMoney>(Value)) return Value;
      std::optional<TMoney> M;
      if (const auto I = IntegerOf(Value)) {
        if (*I > std::numeric_limits<qint64>::max() / TMoney::kScale ||
            *I < std::numeric_limits<qint64>::min() / TMoney::kScale) {
          return std::nullopt;
        }
        M = TMoney::FromUnits(*I * TMoney::kScale);
      } else if (IsFloating(Value)) {
        M = TMoney::FromDouble(Value.toDouble());
      } else if (Holds<QString>(Value)) {
        M = TMoney::FromText(Value.toString());
      }
      if (!M) return std::nullopt;
      return QVariant::fromValue(*M);
    }
    case TValueType::Double: {
      if (IsFloating(Value)) return QVariant::fromValue(Value.toDouble());
      if (const auto I = IntegerOf(Value)) return QVariant::fromValue(static_cast<double>(*I));
      return std::nullopt;
    }
    case TValueType::Bool:
      if (!Holds<bool>(Value)) return std::nullopt;
      return Value;
    case TValueType::Text:
      if (!Holds<QString>(Value)) return std::nullopt;
      return Value;
    case TValueType::Date:
      if (!Holds<QDate>(Value)) return std::nullopt;
      return Value;
    case TValueType::Time:
      if (!Holds<QTime>(Value)) return std::nullopt;
      return Value;
    case TValueType::DateTime:
      if (!Holds<QDateTime>(Value)) return std::nullopt;
      return Value;
    case TValueType::Bytes:
      if (!Holds<QByteArray>(Value)) return std::nullopt;
      return Value;
    case TValueType::Variant:
      return Value;
  }
  return std::nullopt;
}

QString VariantTypeName(const QVariant& Value) {
  if (!Value.isValid()) return QStringLiteral("invalid");
  return QString::fromLatin1(Value.metaType().name());
}

QString ValueToText(const QVariant& Value) {
  if (!Value.isValid()) return QStringLiteral("<none>");
  if (Holds<bool>(Value)) return Value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
  if (Holds<TMoney>(Value)) return Value.value<TMoney>().ToText();
  if (Holds<QDate>(Value)) return Value.toDate().toString(Qt::ISODate);
  if (Holds<QTime>(Value)) return Value.toTime().toString(Qt::ISODateWithMs);
  if (Holds<QDateTime>(Value)) return Value.toDateTime().toString(Qt::ISODateWithMs);
  if (Holds<QByteArray>(Value))
    return QString::fromLatin1(Value.toByteArray().toHex(' ').toUpper());
  if (IsFloating(Value)) return QString::number(Value.toDouble(), 'g', 17);
  return Value.toString();
}
