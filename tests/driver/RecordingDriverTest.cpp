// The recording driver of the page tests: what it records and how it answers.

#include "tests/support/RecordingDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "driver/ByName.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

TEST(RecordingDriver, RecordsEachCallWithThePropertiesSetSinceThePreviousOne) {
  TRecordingDriver Driver;
  Driver.SetTableNumber(18);
  Driver.SetRowNumber(1);
  Driver.SetFieldNumber(7);
  Driver.SetValueOfFieldString(QStringLiteral("ООО Ромашка"));
  (void)Driver.ResultCode();  // reads are not recorded
  Driver.WriteTable();
  Driver.Disconnect();
  Driver.SetFieldNumber(8);
  Driver.SetFieldNumber(9);
  Driver.ReadTable();
  EXPECT_THAT(Driver.Transcript(),
              ElementsAre("WriteTable(TableNumber=18, RowNumber=1, FieldNumber=7, "
                          "ValueOfFieldString=\"ООО Ромашка\")",
                          "Disconnect()", "ReadTable(FieldNumber=8, FieldNumber=9)"));
  const auto Calls = Driver.Calls();
  ASSERT_EQ(Calls.size(), 3u);
  EXPECT_EQ(Calls[2].Setting(TPropertyId::FieldNumber), 9);
  EXPECT_FALSE(Calls[2].HasSetting(TPropertyId::TableNumber));
  EXPECT_FALSE(Calls[2].Setting(TPropertyId::TableNumber).isValid());
  EXPECT_THAT(Driver.PendingSettings(), IsEmpty());
  Driver.SetSumm1(TMoney::FromUnits(105000));
  ASSERT_EQ(Driver.PendingSettings().size(), 1u);
  EXPECT_EQ(Driver.PendingSettings()[0].Property, TPropertyId::Summ1);
}

TEST(RecordingDriver, RecordsValuesAsTheirPropertiesHoldThem) {
  TRecordingDriver Driver;
  SetPropertyByName(Driver, u"Summ1", QStringLiteral("10.5"));
  SetPropertyByName(Driver, u"ValueOfFieldInteger", 2147483647);
  SetPropertyByName(Driver, u"Connected", true);
  SetPropertyByName(Driver, u"TLVData", QByteArray("\x01\xAB", 2));
  CallMethodByName(Driver, u"FNSendTLV");
  EXPECT_THAT(Driver.Transcript(),
              ElementsAre("FNSendTLV(Summ1=10.5000, ValueOfFieldInteger=2147483647, "
                          "Connected=true, TLVData=01 AB)"));
  EXPECT_EQ(Driver.Calls()[0].Setting(TPropertyId::ValueOfFieldInteger).metaType(),
            QMetaType::fromType<qint64>());
}

TEST(RecordingDriver, AnswersFromPerMethodQueuesThenTheDefault) {
  TRecordingDriver Driver;
  Driver.Script(TMethodId::PrintString, 80);
  Driver.Script(TMethodId::PrintString, 75);
  Driver.Script(TMethodId::ReadTable, {0, {{TPropertyId::ValueOfFieldInteger, 10}}});
  Driver.Script(TMethodId::ReadTable, {93, {}, QStringLiteral("Нет поля")});
  Driver.ScriptDefault(TMethodId::GetECRStatus, {0, {{TPropertyId::ECRMode, 4}}});
  EXPECT_FALSE(Driver.ScriptUsedUp());

  EXPECT_EQ(Driver.PrintString(), 80);
  EXPECT_EQ(Driver.ReadTable(), 0);
  EXPECT_EQ(Driver.ValueOfFieldInteger(), 10);
  EXPECT_EQ(Driver.PrintString(), 75);
  EXPECT_EQ(Driver.ResultCode(), 75);
  EXPECT_EQ(Driver.PrintString(), 0);  // queue used up: the default answer 0
  EXPECT_EQ(Driver.ReadTable(), 93);
  EXPECT_EQ(Driver.ResultCode(), 93);
  EXPECT_EQ(Driver.ResultCodeDescription(), QStringLiteral("Нет поля"));
  EXPECT_EQ(Driver.ValueOfFieldInteger(), 10);  // outputs stay until overwritten
  EXPECT_TRUE(Driver.ScriptUsedUp());
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(Driver.GetECRStatus(), 0);
    EXPECT_EQ(Driver.ECRMode(), 4);
    Driver.Preset(TPropertyId::ECRMode, 8);
  }
  EXPECT_EQ(Driver.ECRMode(), 8);
  EXPECT_EQ(Driver.ReadTable(), 0);
  EXPECT_EQ(Driver.ResultCodeDescription(), QString());
  EXPECT_THAT(Driver.MethodNames(),
              ElementsAre("PrintString", "ReadTable", "PrintString", "PrintString", "ReadTable",
                          "GetECRStatus", "GetECRStatus", "GetECRStatus", "ReadTable"));
}

TEST(RecordingDriver, PresetValuesAndOutputsAreNotRecordedAsSettings) {
  TRecordingDriver Driver;
  Driver.Preset(TPropertyId::SysAdminPassword, 30);
  Driver.Script(TMethodId::ReadSerialNumber,
                {0, {{TPropertyId::SerialNumber, QStringLiteral("0000000012345678")}}});
  EXPECT_EQ(Driver.SysAdminPassword(), 30);
  EXPECT_EQ(Driver.ReadSerialNumber(), 0);
  Driver.SetPassword(Driver.SysAdminPassword());
  Driver.FNGetSerial();
  EXPECT_THAT(Driver.Transcript(), ElementsAre("ReadSerialNumber()", "FNGetSerial(Password=30)"));
  EXPECT_EQ(Driver.SerialNumber(), QStringLiteral("0000000012345678"));
  Driver.ForgetCalls();
  EXPECT_THAT(Driver.Calls(), IsEmpty());
  EXPECT_EQ(Driver.Password(), 30);  // forgetting calls keeps the values
}

TEST(RecordingDriver, RefusesOutputsThatDoNotFitTheirProperty) {
  TRecordingDriver Driver;
  Driver.Script(TMethodId::GetECRStatus, {0, {{TPropertyId::ECRMode, QStringLiteral("4")}}});
  EXPECT_THROW(Driver.GetECRStatus(), EDriverAccessError);
  EXPECT_THROW(Driver.Preset(TPropertyId::Connected, 1), EDriverAccessError);
}

}  // namespace

namespace {

TEST(RecordingDriver, KeepsTheCallsOfSeveralThreadsApart) {
  TRecordingDriver Driver;
  constexpr int kThreads = 4;
  constexpr int kCalls = 200;
  std::vector<std::thread> Threads;
  for (int T = 0; T < kThreads; ++T) {
    Threads.emplace_back([&Driver, T] {
      for (int I = 0; I < kCalls; ++I) {
        auto Guard = Driver.Lock();
        Driver.SetRegisterNumber(T);
        Driver.GetCashReg();
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  const auto Calls = Driver.Calls();
  ASSERT_EQ(Calls.size(), static_cast<std::size_t>(kThreads * kCalls));
  std::vector<int> PerThread(kThreads);
  for (const auto& Call : Calls) {
    ASSERT_EQ(Call.Settings.size(), 1u);
    ++PerThread.at(Call.Setting(TPropertyId::RegisterNumber).toInt());
  }
  EXPECT_THAT(PerThread, testing::Each(kCalls));
}

}  // namespace
