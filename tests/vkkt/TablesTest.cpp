// The device tables: structures from the data file, reads and writes, 93.

#include <gtest/gtest.h>

#include <QFile>
#include <set>

#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

using namespace vkkt;

namespace {

constexpr std::uint32_t kAdmin = 30;

QByteArray DataFileOfTheTree() {
  QFile F(VARKON_SOURCE_DIR "/tessel/vkkt/tables.json");
  EXPECT_TRUE(F.open(QIODevice::ReadOnly));
  return F.readAll();
}

}  // namespace

TEST(VkktTables, TheStructuresMatchTheDataFile) {
  const std::vector<TTableStruct> FromFile = ParseTableStructures(DataFileOfTheTree());
  const std::vector<TTableStruct>& Built = TableStructures();
  ASSERT_EQ(Built.size(), FromFile.size());
  TDevice D;
  for (const TTableStruct& T : FromFile) {
    TTableStruct S;
    ASSERT_EQ(D.GetTableStruct(kAdmin, T.Number, S), kOk) << T.Number;
    EXPECT_EQ(S.Name, T.Name);
    EXPECT_EQ(S.Rows, T.Rows);
    ASSERT_EQ(S.Fields.size(), T.Fields.size()) << T.Number;
    for (int F = 1; F <= static_cast<int>(T.Fields.size()); ++F) {
      TFieldStruct FS;
      ASSERT_EQ(D.GetFieldStruct(kAdmin, T.Number, F, FS), kOk);
      const TFieldStruct& Want = T.Fields[F - 1];
      EXPECT_EQ(FS.Name, Want.Name);
      EXPECT_EQ(FS.IsString, Want.IsString);
      EXPECT_EQ(FS.Size, Want.Size);
      EXPECT_EQ(FS.Min, Want.Min);
      EXPECT_EQ(FS.Max, Want.Max);
      // Every row holds a value of the field's kind within its limits.
      for (int R = 1; R <= T.Rows; ++R) {
        TFieldValue V;
        ASSERT_EQ(D.ReadTable(kAdmin, T.Number, R, F, V), kOk);
        if (Want.IsString) {
          ASSERT_TRUE(std::holds_alternative<QString>(V));
          EXPECT_LE(std::get<QString>(V).size(), Want.Size) << T.Number << "." << R << "." << F;
        } else {
          ASSERT_TRUE(std::holds_alternative<std::int64_t>(V));
          EXPECT_GE(std::get<std::int64_t>(V), Want.Min) << T.Number << "." << R << "." << F;
          EXPECT_LE(std::get<std::int64_t>(V), Want.Max) << T.Number << "." << R << "." << F;
        }
      }
    }
  }
}

// Every table, row and field that the programs address exists, with its kind.
TEST(VkktTables, TheFieldsTheProgramsUseExist) {
  struct TUse {
    int Table, Row, Field;
    bool IsString;
  };
  const TUse Uses[] = {
      {1, 1, 1, false},   {2, 30, 2, true},   {2, 1, 1, false},   {10, 1, 7, false},
      {13, 1, 2, false},  {14, 1, 1, false},  {15, 1, 1, false},  {16, 1, 1, false},
      {16, 1, 2, false},  {16, 1, 6, false},  {16, 1, 14, false}, {16, 1, 18, false},
      {16, 1, 19, false}, {16, 1, 23, false}, {16, 1, 24, false}, {17, 1, 3, false},
      {17, 1, 12, false}, {17, 1, 17, false}, {17, 1, 28, false}, {18, 1, 1, true},
      {18, 1, 2, true},   {18, 1, 3, true},   {18, 1, 4, true},   {18, 1, 7, true},
      {18, 1, 15, true},  {18, 1, 16, false}, {18, 1, 21, false}, {18, 1, 22, false},
      {19, 1, 1, true},   {19, 1, 2, false},  {19, 1, 5, true},   {19, 1, 6, false},
      {20, 1, 6, false},  {20, 1, 7, false},  {20, 1, 8, true},   {20, 1, 17, true},
      {21, 1, 3, false},  {21, 1, 4, false},  {21, 1, 6, false},  {21, 1, 7, true},
      {21, 1, 8, true},   {21, 1, 9, false},  {22, 1, 1, false},  {22, 1, 5, true},
      {24, 1, 1, true},
  };
  TDevice D;
  for (const TUse& U : Uses) {
    TFieldStruct F;
    ASSERT_EQ(D.GetFieldStruct(kAdmin, U.Table, U.Field, F), kOk) << U.Table << "." << U.Field;
    EXPECT_EQ(F.IsString, U.IsString) << U.Table << "." << U.Field;
    TFieldValue V;
    EXPECT_EQ(D.ReadTable(kAdmin, U.Table, U.Row, U.Field, V), kOk) << U.Table << "." << U.Field;
  }
  // The table numbers the model names for the FN, OFD and automatic-device tables.
  TModelParam P{0, "", false};
  for (auto [Param, Table] : {std::pair{72, 18}, {73, 19}, {75, 24}}) {
    ASSERT_EQ(D.ReadModelParam(Param, P), kOk);
    EXPECT_EQ(std::get<std::int64_t>(P.Value), Table);
  }
}

TEST(VkktTables, AWriteReadsBack) {
  TDevice D;
  struct TCase {
    int Table, Row, Field;
    TFieldValue Written, Read;
  };
  const TCase Cases[] = {
      {18, 1, 7, QString("ООО \"Ромашка\""), QString("ООО \"Ромашка\"")},
      {16, 1, 3, std::int64_t{10}, std::int64_t{10}},
      {21, 1, 4, QString("5555"), std::int64_t{5555}},  // the tables page writes text
      {18, 1, 22, std::int64_t{2147483648}, std::int64_t{2147483648}},
      {2, 30, 2, QString("Петров"), QString("Петров")},
      {17, 1, 17, std::int64_t{0}, std::int64_t{0}},  // the wizard may write FFD code 0
  };
  for (const TCase& C : Cases) {
    ASSERT_EQ(D.WriteTable(kAdmin, C.Table, C.Row, C.Field, C.Written), kOk) << C.Table;
    TFieldValue V;
    ASSERT_EQ(D.ReadTable(kAdmin, C.Table, C.Row, C.Field, V), kOk);
    EXPECT_EQ(V, C.Read) << C.Table << "." << C.Field;
  }
  // Initialisation brings back the factory values.
  ASSERT_EQ(D.InitTables(kAdmin), kOk);
  TFieldValue V;
  ASSERT_EQ(D.ReadTable(kAdmin, 16, 1, 3, V), kOk);
  EXPECT_EQ(V, TFieldValue(std::int64_t{192}));
  ASSERT_EQ(D.ReadTable(kAdmin, 18, 1, 1, V), kOk);
  EXPECT_EQ(V, TFieldValue(D.Identity().SerialNumber));
}

TEST(VkktTables, AbsentTablesAndFieldsAnswer93) {
  TDevice D;
  const int LastTable = static_cast<int>(TableStructures().size());
  TTableStruct T;
  EXPECT_EQ(D.GetTableStruct(kAdmin, LastTable + 1, T), kNoSuchField);
  EXPECT_EQ(D.GetTableStruct(kAdmin, 0, T), kNoSuchField);
  TFieldStruct F;
  EXPECT_EQ(D.GetFieldStruct(kAdmin, 10, 32, F), kNoSuchField);  // only the other layout has it
  TFieldValue V;
  EXPECT_EQ(D.ReadTable(kAdmin, 18, 1, 23, V), kNoSuchField);
  EXPECT_EQ(D.ReadTable(kAdmin, LastTable + 1, 1, 1, V), kNoSuchField);
  EXPECT_EQ(D.WriteTable(kAdmin, 13, 1, 21, std::int64_t{1}), kNoSuchField);
}

TEST(VkktTables, WritesOutsideTheFieldAreRefused) {
  TDevice D;
  struct TCase {
    const char* What;
    std::uint32_t Password;
    int Table, Row, Field;
    TFieldValue Value;
    std::uint8_t Code;
  };
  const TCase Cases[] = {
      {"above the limit", kAdmin, 16, 1, 3, std::int64_t{256}, kBadValue},
      {"negative", kAdmin, 16, 1, 3, std::int64_t{-1}, kBadValue},
      {"text into a number", kAdmin, 16, 1, 3, QString("abc"), kBadValue},
      {"number into a text", kAdmin, 18, 1, 7, std::int64_t{1}, kBadValue},
      {"too long", kAdmin, 22, 1, 2, QString(16, '1'), kBadValue},
      {"no such row", kAdmin, 2, 31, 1, std::int64_t{1}, kBadRow},
      {"kept by the device", kAdmin, 18, 1, 1, QString("1"), kReadOnlyField},
      {"a cashier", 1, 16, 1, 3, std::int64_t{1}, kNeedsAdministrator},
      {"no such password", 999, 16, 1, 3, std::int64_t{1}, kWrongPassword},
  };
  for (const TCase& C : Cases) {
    EXPECT_EQ(D.WriteTable(C.Password, C.Table, C.Row, C.Field, C.Value), C.Code) << C.What;
  }
  TFieldValue V;
  ASSERT_EQ(D.ReadTable(kAdmin, 16, 1, 3, V), kOk);
  EXPECT_EQ(V, TFieldValue(std::int64_t{192}));
  // The service table takes password 0 too.
  EXPECT_EQ(D.WriteTable(0, 10, 1, 7, std::int64_t{1}), kOk);
}
