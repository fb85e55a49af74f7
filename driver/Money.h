#pragma once
// Money as the driver carries it: a fixed-point number with four decimal
// places, held as a count of 1/10000 units.

#include <QMetaType>
#include <QString>
#include <QStringView>
#include <compare>
#include <cstdint>
#include <optional>

class TMoney {
 public:
  static constexpr std::int64_t kScale = 10000;  // units per whole

  constexpr TMoney() = default;
  static constexpr TMoney FromUnits(std::int64_t Units) { return TMoney(Units); }

  // The nearest value (halves away from zero); none for NaN, infinities and
  // values beyond the range.
  static std::optional<TMoney> FromDouble(double Value);
  // "12", "12.3", "-0.0001", "+7.5": an optional sign, digits, and after a
  // point one to four digits. Anything else (blanks, a comma, five decimals,
  // an empty text, a value beyond the range) is none.
  static std::optional<TMoney> FromText(QStringView Text);

  constexpr std::int64_t Units() const { return FUnits; }
  double ToDouble() const { return static_cast<double>(FUnits) / kScale; }
  // Always four decimals: "12.3400", "-0.5000", "0.0000".
  QString ToText() const;

  constexpr auto operator<=>(const TMoney&) const = default;
  constexpr TMoney operator+(TMoney Other) const { return TMoney(FUnits + Other.FUnits); }
  constexpr TMoney operator-(TMoney Other) const { return TMoney(FUnits - Other.FUnits); }

 private:
  constexpr explicit TMoney(std::int64_t Units) : FUnits(Units) {}
  std::int64_t FUnits = 0;
};

Q_DECLARE_METATYPE(TMoney)
