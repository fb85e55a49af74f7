#include "driver/Money.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct TTextCase {
  const char* Text;
  std::optional<std::int64_t> Units;
};

TEST(Money, FromTextReadsOnlyPlainDecimals) {
  const TTextCase Cases[] = {
      {"12.34", 123400},
      {"12", 120000},
      {"0", 0},
      {"-0.0001", -1},
      {"+7.5", 75000},
      {"10995116277.0000", 109951162770000},
      {"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
      {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
      {"922337203685477.5808", std::nullopt},
      {"1.23456", std::nullopt},
      {"12,34", std::nullopt},
      {" 12", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {".5", std::nullopt},
      {"5.", std::nullopt},
      {"1e3", std::nullopt},
      {"١٢", std::nullopt},  // digits, but not ASCII ones
  };
  for (const TTextCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    const auto Money = TMoney::FromText(QString::fromUtf8(Case.Text));
    ASSERT_EQ(Money.has_value(), Case.Units.has_value());
    if (Money) {
      EXPECT_EQ(Money->Units(), *Case.Units);
    }
  }
}

TEST(Money, TextHasFourDecimals) {
  EXPECT_EQ(TMoney::FromUnits(123400).ToText(), "12.3400");
  EXPECT_EQ(TMoney::FromUnits(-5000).ToText(), "-0.5000");
  EXPECT_EQ(TMoney().ToText(), "0.0000");
  EXPECT_EQ(TMoney::FromUnits(std::numeric_limits<std::int64_t>::min()).ToText(),
            "-922337203685477.5808");
}

TEST(Money, TextRoundTrips) {
  for (std::int64_t Units :
       {std::int64_t(0), std::int64_t(1), std::int64_t(-1), std::int64_t(1234567),
        std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
    const TMoney Money = TMoney::FromUnits(Units);
    EXPECT_EQ(TMoney::FromText(Money.ToText()), Money) << Units;
  }
}

TEST(Money, DoubleRoundsToFourDecimals) {
  EXPECT_EQ(TMoney::FromDouble(12.34)->Units(), 123400);
  EXPECT_EQ(TMoney::FromDouble(0.00005)->Units(), 1);
  EXPECT_EQ(TMoney::FromDouble(-0.00005)->Units(), -1);
  EXPECT_EQ(TMoney::FromDouble(127.34)->ToDouble(), 127.34);
  EXPECT_FALSE(TMoney::FromDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(TMoney::FromDouble(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(TMoney::FromDouble(1e300));
}

}  // namespace
