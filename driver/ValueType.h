#pragma once
// The kinds of value a driver property holds, the Qt type that carries each,
// and the conversions between them and QVariant.
//
//   Int       int            Money     TMoney       DateTime  QDateTime
//   Int64     qint64         Double    double       Bytes     QByteArray
//   Bool      bool           Date      QDate        Variant   QVariant (any value)
//   Text      QString        Time      QTime

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVariant>
#include <optional>

#include "driver/Money.h"

enum class TValueType {
  Int,
  Int64,
  Bool,
  Text,
  Money,
  Double,
  Date,
  Time,
  DateTime,
  Bytes,
  Variant
};

// "Int", "Int64", "Bool", ... as written in the catalogue.
const char* ValueTypeName(TValueType Type);

// The value a property of the type holds before anything is written to it:
// 0, false, empty text and bytes, null date and time, an empty variant.
QVariant DefaultValue(TValueType Type);

// The value converted to the Qt type of the property type, or none when it
// does not fit. Conversions never lose information:
// - Int and Int64 take any integer within their range (not Boolean, not
//   floating point, not text);
// - Money takes TMoney, an integer (whole units), a finite double (rounded to
//   four decimals) and a text in the form of TMoney::FromText;
// - Double takes floating-point and integer values;
// - every other type takes exactly its own Qt type;
// - Variant takes anything.
std::optional<QVariant> ConvertValue(TValueType Type, const QVariant& Value);

// The name of the Qt type a variant holds ("int", "QString", "TMoney"),
// "invalid" for an empty variant; for messages.
QString VariantTypeName(const QVariant& Value);

// A value as a short readable text, for records and messages: numbers in
// decimal, Booleans as true/false, money with four decimals, dates and times
// in ISO form, bytes as upper-case hexadecimal pairs separated by blanks.
QString ValueToText(const QVariant& Value);

// The C++ type of each property type, and the conversions the generated
// accessors use.
template <TValueType K>
struct TValueTraits;
template <>
struct TValueTraits<TValueType::Int> {
  using TCpp = int;
};
template <>
struct TValueTraits<TValueType::Int64> {
  using TCpp = qint64;
};
template <>
struct TValueTraits<TValueType::Bool> {
  using TCpp = bool;
};
template <>
struct TValueTraits<TValueType::Text> {
  using TCpp = QString;
};
template <>
struct TValueTraits<TValueType::Money> {
  using TCpp = TMoney;
};
template <>
struct TValueTraits<TValueType::Double> {
  using TCpp = double;
};
template <>
struct TValueTraits<TValueType::Date> {
  using TCpp = QDate;
};
template <>
struct TValueTraits<TValueType::Time> {
  using TCpp = QTime;
};
template <>
struct TValueTraits<TValueType::DateTime> {
  using TCpp = QDateTime;
};
template <>
struct TValueTraits<TValueType::Bytes> {
  using TCpp = QByteArray;
};
template <>
struct TValueTraits<TValueType::Variant> {
  using TCpp = QVariant;
};

template <TValueType K>
using TValueOf = typename TValueTraits<K>::TCpp;

// The typed value of a stored variant; the type's default when the variant
// holds something else (an implementation that stored nothing yet).
template <TValueType K>
TValueOf<K> FromVariant(const QVariant& Value) {
  using T = TValueOf<K>;
  if constexpr (K == TValueType::Variant) {
    return Value;
  } else {
    if (Value.metaType() != QMetaType::fromType<T>()) return T{};
    return Value.value<T>();
  }
}

template <TValueType K>
QVariant ToVariant(const TValueOf<K>& Value) {
  if constexpr (K == TValueType::Variant) {
    return Value;
  } else {
    return QVariant::fromValue(Value);
  }
}
