#include "driver/Money.h"

#include <cmath>
#include <limits>

std::optional<TMoney> TMoney::FromDouble(double Value) {
  if (!std::isfinite(Value)) return std::nullopt;
  const long double Scaled = static_cast<long double>(Value) * kScale;
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  constexpr long double kLimit = 9223372036854775808.0L;
  const long double Rounded = std::round(Scaled);
  if (Rounded >= kLimit || Rounded < -kLimit) return std::nullopt;
  return TMoney(static_cast<std::int64_t>(Rounded));
}

std::optional<TMoney> TMoney::FromText(QStringView Text) {
  qsizetype Pos = 0;
  bool Negative = false;
  if (Pos < Text.size() && (Text[Pos] == u'+' || Text[Pos] == u'-')) {
    Negative = Text[Pos] == u'-';
    ++Pos;
  }
  // Accumulate as a negative number, so that the most negative value fits too.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t Value = 0;
  auto AddDigit = [&Value](int Digit) {
    if (Value < (kMin + Digit) / 10) return false;
    Value = Value * 10 - Digit;
    return true;
  };
  qsizetype Whole = 0;
  for (; Pos < Text.size() && Text[Pos].isDigit() && Text[Pos].unicode() < 128; ++Pos, ++Whole) {
    if (!AddDigit(Text[Pos].unicode() - '0')) return std::nullopt;
  }
  if (Whole == 0) return std::nullopt;
  int Decimals = 0;
  if (Pos < Text.size() && Text[Pos] == u'.') {
    ++Pos;
    for (; Pos < Text.size() && Text[Pos].isDigit() && Text[Pos].unicode() < 128; ++Pos) {
      if (++Decimals > 4 || !AddDigit(Text[Pos].unicode() - '0')) return std::nullopt;
    }
    if (Decimals == 0) return std::nullopt;
  }
  if (Pos != Text.size()) return std::nullopt;
  for (; Decimals < 4; ++Decimals) {
    if (!AddDigit(0)) return std::nullopt;
  }
  if (!Negative) {
    if (Value == kMin) return std::nullopt;
    Value = -Value;
  }
  return TMoney(Value);
}

QString TMoney::ToText() const {
  // The magnitude as unsigned, so that the most negative value prints too.
  const std::uint64_t Magnitude =
      FUnits < 0 ? 0 - static_cast<std::uint64_t>(FUnits) : static_cast<std::uint64_t>(FUnits);
  QString Fraction = QString::number(Magnitude % kScale).rightJustified(4, u'0');
  return QStringLiteral("%1%2.%3")
      .arg(FUnits < 0 ? QStringLiteral("-") : QString())
      .arg(Magnitude / kScale)
      .arg(Fraction);
}
