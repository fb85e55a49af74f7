// The shared driver operations of the wizard against the recording driver.

#include "kestrel/framework/DriverHelpers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kestrel/framework/KestrelError.h"
#include "tests/support/RecordingDriver.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using TAnswer = TRecordingDriver::TAnswer;

namespace {

QString ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EKestrelError& E) {
    return E.Message();
  }
  return QStringLiteral("<no error>");
}

TEST(CheckResultTest, NonZeroCodesFailWithCodeAndDescription) {
  struct TCase {
    int Code;
    const char* Description;
    const char* Expected;
  };
  const TCase Cases[] = {
      {-1, "Нет связи", "Ошибка -1, Нет связи"},
      {93, "Поле отсутствует", "Ошибка 93, Поле отсутствует"},
      {80, "", "Ошибка 80, "},
  };
  for (const TCase& C : Cases) {
    TRecordingDriver D;
    D.Preset(TPropertyId::ResultCodeDescription, QString::fromUtf8(C.Description));
    EXPECT_EQ(ErrorOf([&] { CheckResult(D, C.Code); }), QString::fromUtf8(C.Expected)) << C.Code;
  }
  TRecordingDriver D;
  EXPECT_EQ(ErrorOf([&] { CheckResult(D, 0); }), QStringLiteral("<no error>"));
}

TEST(TableNumberOfTest, LogicalTablesComeFromModelParameters) {
  struct TCase {
    int Table;
    int Param;
  };
  for (const TCase C : {TCase{18, 72}, TCase{19, 73}, TCase{24, 75}}) {
    TRecordingDriver D;
    D.Script(TMethodId::ReadModelParamValue,
             TAnswer(0, {{TPropertyId::ModelParamValue, 40 + C.Table}}));
    EXPECT_EQ(TableNumberOf(D, C.Table), 40 + C.Table);
    ASSERT_EQ(D.Calls().size(), 1u);
    EXPECT_EQ(D.Calls()[0].Setting(TPropertyId::ModelParamNumber).toInt(), C.Param);
  }
  for (int Table : {2, 10, 13, 16, 17, 21, 22}) {
    TRecordingDriver D;
    EXPECT_EQ(TableNumberOf(D, Table), Table);
    EXPECT_TRUE(D.Calls().empty());
  }
  TRecordingDriver D;
  D.Script(TMethodId::ReadModelParamValue, TAnswer(-1, {}, QStringLiteral("Нет связи")));
  EXPECT_EQ(ErrorOf([&] { TableNumberOf(D, 18); }), QStringLiteral("Ошибка -1, Нет связи"));
}

TEST(ReadTableDefTest, MissingFieldReadsEmptyOtherCodesFail) {
  TRecordingDriver D;
  D.Script(TMethodId::ReadTable, kResultFieldMissing);
  D.Script(TMethodId::ReadTable, kResultFieldMissing);
  D.Script(TMethodId::ReadTable,
           TAnswer(0, {{TPropertyId::ValueOfFieldString, QStringLiteral("ОФД")}}));
  D.Script(TMethodId::ReadTable, TAnswer(0, {{TPropertyId::ValueOfFieldInteger, qint64(7)}}));
  D.Script(TMethodId::ReadTable, TAnswer(4, {}, QStringLiteral("Некорректные параметры")));
  EXPECT_EQ(ReadTableStrDef(D, 17, 1, 7), QString());
  EXPECT_EQ(ReadTableIntDef(D, 17, 1, 8), 0);
  EXPECT_EQ(ReadTableStrDef(D, 17, 1, 9), QStringLiteral("ОФД"));
  EXPECT_EQ(ReadTableIntDef(D, 17, 1, 10), 7);
  EXPECT_EQ(ErrorOf([&] { ReadTableIntDef(D, 17, 1, 11); }),
            QStringLiteral("Ошибка 4, Некорректные параметры"));
  EXPECT_EQ(D.Calls()[0].ToString(), "ReadTable(TableNumber=17, RowNumber=1, FieldNumber=7)");
}

TEST(WriteTableIntTest, StringFieldTakesDecimalText) {
  TRecordingDriver D;
  D.Script(TMethodId::GetFieldStruct, TAnswer(0, {{TPropertyId::FieldType, true}}));
  D.Script(TMethodId::GetFieldStruct, TAnswer(0, {{TPropertyId::FieldType, false}}));
  WriteTableInt(D, 21, 1, 4, 7778);
  WriteTableInt(D, 21, 1, 5, 12);
  EXPECT_THAT(D.Transcript(),
              ElementsAre("GetFieldStruct(TableNumber=21, RowNumber=1, FieldNumber=4)",
                          "WriteTable(ValueOfFieldString=\"7778\")",
                          "GetFieldStruct(TableNumber=21, RowNumber=1, FieldNumber=5)",
                          "WriteTable(ValueOfFieldInteger=12)"));
}

TEST(TagTest, SendTagRepeatsWhileBusyAndIsBounded) {
  TRecordingDriver D;
  D.Script(TMethodId::FNSendTag, kResultPrinting);
  D.Script(TMethodId::FNSendTag, kResultPrintingPending);
  SendTagStr(D, 1048, QStringLiteral("ООО"));
  EXPECT_THAT(D.MethodNames(), ElementsAre("FNSendTag", "FNSendTag", "FNSendTag"));
  EXPECT_EQ(D.Calls()[0].ToString(), "FNSendTag(TagNumber=1048, TagValueStr=\"ООО\", TagType=7)");

  TRecordingDriver Busy;
  Busy.ScriptDefault(TMethodId::FNSendTag,
                     TAnswer(kResultPrinting, {}, QStringLiteral("Идет печать")));
  EXPECT_EQ(ErrorOf([&] {
              RepeatWhileBusy(
                  Busy, [&] { return Busy.FNSendTag(); }, 5, 0);
            }),
            QStringLiteral("Ошибка 80, Идет печать"));
  EXPECT_EQ(Busy.Calls().size(), 5u);
}

// Model parameter 28 answers the layout; a failed read means the standard one.
void ScriptLayout(TRecordingDriver& D, int ReadCode, bool Alt) {
  D.Script(TMethodId::ReadModelParamValue,
           TAnswer(ReadCode, {{TPropertyId::ModelParamValue, Alt}}));
}

TEST(LayoutTest, FailedParameterReadMeansStandardLayout) {
  TRecordingDriver Ok;
  ScriptLayout(Ok, 0, true);
  EXPECT_TRUE(UsesAltTableLayout(Ok));
  TRecordingDriver Failed;
  ScriptLayout(Failed, 4, true);
  EXPECT_FALSE(UsesAltTableLayout(Failed));
  TRecordingDriver NoMetrics;
  NoMetrics.Script(TMethodId::GetDeviceMetrics, TAnswer(-1, {}, QStringLiteral("Нет связи")));
  EXPECT_EQ(ErrorOf([&] { UsesAltTableLayout(NoMetrics); }),
            QStringLiteral("Ошибка -1, Нет связи"));
}

TEST(FFDVersionTest, WriteSequencesOfBothLayouts) {
  struct TCase {
    bool Alt;
    int Version;
    std::vector<std::string> Writes;  // "table/field=value" of each WriteTable
  };
  const TCase Cases[] = {
      {true, 1, {"10/29=0"}},
      {true, 2, {"10/29=2"}},
      {true, 4, {"10/29=4"}},
      {false, 0, {"17/17=0"}},
      {false, 2, {"17/17=2", "17/3=2"}},
      {false, 4, {"17/17=4", "17/3=2"}},
  };
  for (const TCase& C : Cases) {
    TRecordingDriver D;
    ScriptLayout(D, 0, C.Alt);
    WriteFFDVersion(D, C.Version);
    std::vector<std::string> Writes;
    int Table = 0, Field = 0;
    for (const auto& Call : D.Calls()) {
      if (Call.HasSetting(TPropertyId::TableNumber))
        Table = Call.Setting(TPropertyId::TableNumber).toInt();
      if (Call.HasSetting(TPropertyId::FieldNumber))
        Field = Call.Setting(TPropertyId::FieldNumber).toInt();
      if (Call.Method == TMethodId::WriteTable)
        Writes.push_back(std::to_string(Table) + "/" + std::to_string(Field) + "=" +
                         Call.Setting(TPropertyId::ValueOfFieldInteger).toString().toStdString());
    }
    EXPECT_THAT(Writes, ElementsAreArray(C.Writes)) << C.Alt << " " << C.Version;
  }
}

TEST(FFDVersionTest, ReadFromTheLayoutsField) {
  TRecordingDriver Alt;
  ScriptLayout(Alt, 0, true);
  Alt.Script(TMethodId::ReadTable, TAnswer(0, {{TPropertyId::ValueOfFieldInteger, qint64(4)}}));
  EXPECT_EQ(ReadFFDVersion(Alt), 4);
  EXPECT_EQ(Alt.Calls().back().ToString(), "ReadTable(TableNumber=10, RowNumber=1, FieldNumber=4)");
  TRecordingDriver Std;
  ScriptLayout(Std, 0, false);
  Std.Script(TMethodId::ReadTable, TAnswer(0, {{TPropertyId::ValueOfFieldInteger, qint64(2)}}));
  EXPECT_EQ(ReadFFDVersion(Std), 2);
  EXPECT_EQ(Std.Calls().back().ToString(),
            "ReadTable(TableNumber=17, RowNumber=1, FieldNumber=17)");
}

}  // namespace
