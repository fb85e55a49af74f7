// TDriver's helpers against the recording driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BenchFixture.h"
#include "driver/ResultCodes.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/TextValues.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class DriverHelpers : public TBenchTest {
 protected:
  void FontMetrics(int PrintWidth, int CharWidth) {
    Recorder().ScriptDefault(TMethodId::GetFontMetrics,
                             {0,
                              {{TPropertyId::PrintWidth, PrintWidth},
                               {TPropertyId::CharWidth, CharWidth}}});
  }
  // The text of every print call: the one set before it, or the one still
  // standing from an earlier call (a retry sets nothing).
  std::vector<QString> Printed() {
    std::vector<QString> Lines;
    QString Current;
    for (const auto& Call : Recorder().Calls()) {
      if (Call.HasSetting(TPropertyId::StringForPrinting)) {
        Current = Call.Setting(TPropertyId::StringForPrinting).toString();
      }
      if (Call.Method == TMethodId::PrintStringWithFont) Lines.push_back(Current);
    }
    return Lines;
  }
};

}  // namespace

TEST_F(DriverHelpers, PrintTextRetriesABusyDeviceUpToFiveAttempts) {
  FontMetrics(80 * 12, 12);  // 80 characters a line
  for (int I = 0; I < 4; ++I) Recorder().Script(TMethodId::PrintStringWithFont, kResultPrinting);
  Driver().PrintText(QStringLiteral("first\nsecond"), 2);
  EXPECT_THAT(Printed(), ElementsAre("first", "first", "first", "first", "first", "second"));
  EXPECT_EQ(Recorder().Calls().back().Setting(TPropertyId::FontType), 2);
}

TEST_F(DriverHelpers, PrintTextEndsSilentlyAfterFiveBusyAnswers) {
  FontMetrics(80 * 12, 12);
  for (int I = 0; I < 5; ++I) Recorder().Script(TMethodId::PrintStringWithFont, kResultPrinting);
  EXPECT_THROW(Driver().PrintText(QStringLiteral("first\nsecond"), 2), EAbort);
  EXPECT_THAT(Printed(), ElementsAre("first", "first", "first", "first", "first"));
  EXPECT_EQ(Driver()->ResultCode(), kResultPrinting);
}

TEST_F(DriverHelpers, PrintTextWithAZeroWidthPrintsFortyCharacterPieces) {
  FontMetrics(5, 12);  // 5 / 12 is 0 characters a line
  Driver().PrintText(QString(90, QLatin1Char('x')), 1);
  EXPECT_THAT(Printed(), ElementsAre(QString(40, QLatin1Char('x')), QString(40, QLatin1Char('x')),
                                     QString(10, QLatin1Char('x'))));
}

TEST_F(DriverHelpers, PrintTextInFontZeroLetsTheDeviceWrap) {
  Driver().PrintText(QStringLiteral("a\nb"), 0);
  ASSERT_THAT(Recorder().MethodNames(), ElementsAre("PrintStringWithWrap"));
  EXPECT_EQ(Recorder().Calls()[0].Setting(TPropertyId::StringForPrinting), QStringLiteral("a\nb"));
}

TEST_F(DriverHelpers, GetPrintStringWidthRestoresThePassword) {
  Recorder().Preset(TPropertyId::Password, 30);
  Recorder().Preset(TPropertyId::SysAdminPassword, 30000);
  FontMetrics(0, 0);
  EXPECT_EQ(Driver().GetPrintStringWidth(3), 40);  // CharWidth 0
  EXPECT_EQ(Recorder().Calls()[0].Setting(TPropertyId::Password), 30000);
  EXPECT_EQ(Driver()->Password(), 30);
  Recorder().Script(TMethodId::GetFontMetrics, 1);
  EXPECT_THROW(Driver().GetPrintStringWidth(3), EAbort);
  EXPECT_EQ(Driver()->Password(), 30);
}

TEST_F(DriverHelpers, IsModelType2OnItsBoundaries) {
  for (int Id : {16, 19, 21, 27, 30, 32, 36, 38, 42, 45, 46}) {
    EXPECT_TRUE(TDriver::IsModelType2Id(Id)) << Id;
  }
  for (int Id : {0, 15, 17, 18, 22, 26, 31, 37, 43, 44, 47, 48}) {
    EXPECT_FALSE(TDriver::IsModelType2Id(Id)) << Id;
  }
  Recorder().Script(TMethodId::ReadModelParamValue, {0, {{TPropertyId::ModelParamValue, 46}}});
  EXPECT_TRUE(Driver().IsModelType2());
  EXPECT_EQ(Recorder().Calls()[0].Setting(TPropertyId::ModelParamNumber), 32);
}

TEST_F(DriverHelpers, ModelFactsReadAsBooleansAndIntegers) {
  Recorder().Script(TMethodId::ReadModelParamValue, {0, {{TPropertyId::ModelParamValue, true}}});
  Recorder().Script(TMethodId::ReadModelParamValue, {0, {{TPropertyId::ModelParamValue, 1}}});
  Recorder().Script(TMethodId::ReadModelParamValue,
                    {0, {{TPropertyId::ModelParamValue, QStringLiteral("x")}}});
  EXPECT_TRUE(Driver().CapFN());
  EXPECT_FALSE(Driver().CapFN());  // 1 is not Boolean true
  EXPECT_THROW(Driver().MaxLineWidth(), EUserError);
}

TEST_F(DriverHelpers, TableHelpers) {
  EXPECT_EQ(Driver().CorrectTableNumber(17), 17);
  EXPECT_TRUE(Recorder().Calls().empty());
  Recorder().Script(TMethodId::ReadModelParamValue, {0, {{TPropertyId::ModelParamValue, 14}}});
  Recorder().Script(TMethodId::ReadTable, {0, {{TPropertyId::ValueOfFieldInteger, 5}}});
  EXPECT_EQ(Driver().ReadTableInt(18, 1, 2), 5);
  EXPECT_EQ(Recorder().Calls()[1].Setting(TPropertyId::TableNumber), 14);
  Recorder().Script(TMethodId::ReadTable, 93);
  EXPECT_EQ(Driver().ReadTableDef(18, 1, 77, 2), 77);
  EXPECT_EQ(Recorder().Calls()[2].Setting(TPropertyId::TableNumber), 18);  // not corrected
  EXPECT_EQ(Driver()->ResultCode(), 93);
}

TEST_F(DriverHelpers, SendCommandCarriesHexText) {
  Recorder().Script(TMethodId::ExchangeBytes,
                    {0, {{TPropertyId::TransferBytes, QStringLiteral("00 10 FF")}}});
  QByteArray Answer;
  EXPECT_EQ(Driver().SendCommand(QByteArray("\x10\x1e", 2), Answer), 0);
  EXPECT_EQ(Recorder().Calls()[0].Setting(TPropertyId::TransferBytes), QStringLiteral("10 1E"));
  EXPECT_EQ(Recorder().Calls()[0].Setting(TPropertyId::BinaryConversion), 1);
  EXPECT_EQ(Answer, QByteArray("\x00\x10\xff", 3));
}

TEST_F(DriverHelpers, NoFactoryMeansNoDriver) {
  FreeDriver();
  EXPECT_FALSE(DriverExists());
  try {
    Driver();
    ADD_FAILURE();
  } catch (const EUserError& E) {
    EXPECT_TRUE(E.Message().startsWith(QString::fromUtf8("Ошибка создания объекта драйвера: ")));
  }
  EXPECT_FALSE(DriverExists());
}
