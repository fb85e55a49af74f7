// Conversions of typed values: amounts, rounding, hexadecimal text, print
// splitting, TCP port codes, cycle values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tesselbench/shell/TextValues.h"

using ::testing::ElementsAre;

TEST(GetSumm, ReadsDecimalAmountsStrictly) {
  struct {
    const char* Text;
    qint64 Units;  // 1/10000
  } Cases[] = {
      {"12", 120000},          {"12,5", 125000},       {"1 234.56", 12345600},
      {"12.345", 123500},      {"0.004", 0},           {"0.005", 100},
      {"+7.5", 75000},         {"-3.21", -32100},      {".5", 5000},
      {"10995116277", 109951162770000},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(GetSumm(QString::fromUtf8(Case.Text), QStringLiteral("Summ1")).Units(), Case.Units)
        << Case.Text;
  }
}

TEST(GetSumm, RefusesAnythingButADecimalNumber) {
  for (const char* Text : {"", "nan", "inf", "-inf", "0x10", "1e3", "1.5e2", "12.3.4", "abc",
                           "10995116278", "12$", "."}) {
    try {
      GetSumm(QString::fromUtf8(Text), QStringLiteral("Summ1"));
      ADD_FAILURE() << "accepted: " << Text;
    } catch (const EUserError& E) {
      EXPECT_EQ(E.Message(), QString::fromUtf8("Некорректное значение в поле\n\"Summ1\"")) << Text;
    }
  }
}

TEST(ExRound, RoundsHalvesAwayFromZero) {
  struct {
    double Value, Expected;
  } Cases[] = {{12.345, 12.35}, {12.344, 12.34}, {-12.345, -12.35}, {0.0, 0.0},
               {1.005, 1.01},   {2.675, 2.68},   {99.999, 100.0}};
  for (const auto& Case : Cases) {
    EXPECT_NEAR(ExRound(0.01, Case.Value), Case.Expected, 1e-9) << Case.Value;
  }
}

TEST(CheckIntStr, RefusesTextsLongerThan1024) {
  EXPECT_NO_THROW(CheckIntStr(QString(1024, QLatin1Char('1')), QStringLiteral("Цена")));
  try {
    CheckIntStr(QString(1025, QLatin1Char('1')), QString::fromUtf8("Цена"));
    ADD_FAILURE();
  } catch (const EUserError& E) {
    EXPECT_EQ(E.Message(), QString::fromUtf8("Некорректное значение в поле \"Цена\""));
  }
}

TEST(AmountToStr, TwoDecimalsOrTheWholePart) {
  const TMoney A = TMoney::FromUnits(129900);  // 12.99
  EXPECT_EQ(AmountToStr(A, true), QStringLiteral("12.99"));
  EXPECT_EQ(AmountToStr(A, false), QStringLiteral("12"));
  EXPECT_EQ(AmountToStr(TMoney::FromUnits(-5000), true), QStringLiteral("-0.50"));
  EXPECT_EQ(AmountToStr(TMoney::FromUnits(0), false), QStringLiteral("0"));
}

TEST(HexText, WritesUpperCasePairsSeparatedByBlanks) {
  EXPECT_EQ(BytesToHexText(QByteArray("\x01\x0a\xff", 3)), QStringLiteral("01 0A FF"));
  EXPECT_EQ(BytesToHexText(QByteArray()), QString());
}

TEST(HexText, ReadsGroupsSeparatedByAnyWhiteSpace) {
  struct {
    const char* Text;
    QByteArray Bytes;
  } Cases[] = {
      {"01 0A FF", QByteArray("\x01\x0a\xff", 3)},
      {"  01\t0a\n\nff  ", QByteArray("\x01\x0a\xff", 3)},
      {"010AFF", QByteArray("\x01\x0a\xff", 3)},
      {"1 A", QByteArray("\x01\x0a", 2)},
      {"01A", QByteArray("\x01\x0a", 2)},
      {"", QByteArray()},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(HexTextToBytes(QString::fromUtf8(Case.Text)), Case.Bytes) << Case.Text;
  }
}

TEST(HexText, RefusesMalformedInputInsteadOfSendingItCut) {
  for (const char* Text : {"01 0G FF", "01,02", "zz", "01 ё"}) {
    EXPECT_THROW(HexTextToBytes(QString::fromUtf8(Text)), EUserError) << Text;
  }
}

TEST(SplitPrintText, CutsEveryLineIntoPiecesOfTheWidth) {
  EXPECT_THAT(SplitPrintText(QStringLiteral("abcdef\n\nxy"), 4),
              ElementsAre(QStringLiteral("abcd"), QStringLiteral("ef"), QString(),
                          QStringLiteral("xy")));
  EXPECT_THAT(SplitPrintText(QStringLiteral("ab\r\ncd\n"), 10),
              ElementsAre(QStringLiteral("ab"), QStringLiteral("cd")));
  EXPECT_TRUE(SplitPrintText(QString(), 10).isEmpty());
}

TEST(SplitPrintText, AWidthBelowOneCountsAsForty) {
  const QString Line(100, QLatin1Char('x'));
  for (int Width : {0, -5}) {
    const QStringList Pieces = SplitPrintText(Line, Width);
    ASSERT_EQ(Pieces.size(), 3) << Width;
    EXPECT_EQ(Pieces[0].size(), 40);
    EXPECT_EQ(Pieces[2].size(), 20);
  }
}

TEST(TcpPortCode, IsLossyOneByteCode) {
  EXPECT_EQ(TcpPortOfCode(0), 48);
  EXPECT_EQ(TcpPortOfCode(0xFF), 0xF03F);
  EXPECT_EQ(CodeOfTcpPort(7778), 0x12);
  EXPECT_EQ(TcpPortOfCode(0x12), 0x1032);
}

TEST(BaudRateOfCode, MapsCodesAndFallsBackTo4800) {
  EXPECT_EQ(BaudRateOfCode(0), 2400);
  EXPECT_EQ(BaudRateOfCode(1), 4800);
  EXPECT_EQ(BaudRateOfCode(6), 115200);
  EXPECT_EQ(BaudRateOfCode(9), 921600);
  EXPECT_EQ(BaudRateOfCode(10), 4800);
}

TEST(GetCycleValue, CyclesAndNeverDividesByZero) {
  std::vector<int> Values;
  for (int N = 1; N <= 5; ++N) Values.push_back(GetCycleValue(N, 3));
  EXPECT_THAT(Values, ElementsAre(1, 2, 3, 1, 2));
  EXPECT_EQ(GetCycleValue(4, 0), 0);
  EXPECT_EQ(GetCycleValue(4, 1), 1);
}
