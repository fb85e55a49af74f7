// The virtual KKT through command blocks, encoded and decoded by the driver's
// command table and codec, as the driver sends them.

#include <gtest/gtest.h>

#include <QVariant>
#include <initializer_list>
#include <set>
#include <utility>

#include "tessel/Codec.h"
#include "tessel/CommandTable.h"
#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

using namespace vkkt;
namespace cmd = tessel::cmd;

namespace {

using TValues = std::initializer_list<std::pair<const char*, QVariant>>;

class TClient {
 public:
  explicit TClient(TDevice& Device, std::uint32_t Password = 30)
      : FDevice(Device), FPassword(Password) {}

  tessel::TAnswer Call(std::uint16_t Code, TValues Values = {}) {
    const tessel::TCommandDef& Def = *tessel::FindCommand(Code);
    tessel::TFieldValues Fields(Def.Request);
    for (const auto& [Name, Value] : Values) Fields.Set(Name, Value);
    const std::string Block = tessel::EncodeRequest(Def, FPassword, Fields);
    const QByteArray Answer =
        FDevice.Execute(QByteArray(Block.data(), static_cast<qsizetype>(Block.size())));
    return tessel::DecodeAnswer(
        Def, std::string_view(Answer.constData(), static_cast<std::size_t>(Answer.size())));
  }
  int Code(std::uint16_t Command, TValues Values = {}) { return Call(Command, Values).Error; }

 private:
  TDevice& FDevice;
  std::uint32_t FPassword;
};

TMoney M(const char* Text) {
  return *TMoney::FromText(QString::fromLatin1(Text));
}
QVariant Money(const char* Text) {
  return QVariant::fromValue(M(Text));
}

TMoney MoneyOf(const tessel::TAnswer& A, const char* Name) {
  return A.Fields.Money(Name);
}

}  // namespace

TEST(VkktCommands, AShiftWithTwoReceiptsThroughCommandBlocks) {
  TDevice D;
  TClient Cashier(D, 1);
  ASSERT_EQ(Cashier.Code(cmd::kOpenSession), kOk);
  ASSERT_EQ(Cashier.Code(cmd::kSale, {{"Quantity", 2.0},
                                      {"Price", Money("100.00")},
                                      {"Department", 1},
                                      {"Text", QString("Молоко")}}),
            kOk);
  ASSERT_EQ(
      Cashier.Code(cmd::kSale, {{"Quantity", 0.5}, {"Price", Money("12.34")}, {"Department", 2}}),
      kOk);
  const tessel::TAnswer Sub = Cashier.Call(cmd::kSubTotal);
  ASSERT_EQ(Sub.Error, kOk);
  EXPECT_EQ(MoneyOf(Sub, "Subtotal"), M("206.17"));
  const tessel::TAnswer Close = Cashier.Call(cmd::kCloseCheck, {{"Summ1", Money("300")}});
  ASSERT_EQ(Close.Error, kOk);
  EXPECT_EQ(MoneyOf(Close, "Change"), M("93.83"));

  ASSERT_EQ(Cashier.Code(cmd::kOpenCheck, {{"CheckType", 0}}), kOk);
  ASSERT_EQ(Cashier.Code(cmd::kSale, {{"Quantity", 1.0}, {"Price", Money("50")}}), kOk);
  ASSERT_EQ(Cashier.Code(cmd::kCharge, {{"Summ", Money("5")}}), kOk);
  ASSERT_EQ(Cashier.Code(cmd::kCloseCheck, {{"Summ1", Money("5")}, {"Summ2", Money("50")}}), kOk);

  const tessel::TAnswer Totals = Cashier.Call(cmd::kCashReg, {{"Register", reg::ReceiptTotals(0)}});
  ASSERT_EQ(Totals.Error, kOk);
  EXPECT_EQ(MoneyOf(Totals, "Value"), M("261.17"));
  EXPECT_FALSE(Totals.Fields.Text("Name").isEmpty());
  const tessel::TAnswer Drawer = Cashier.Call(cmd::kCashReg, {{"Register", reg::CashInDrawer}});
  EXPECT_EQ(MoneyOf(Drawer, "Value"), M("211.17"));
  EXPECT_EQ(Totals.Fields.UInt("OperatorNumber"), 1u);
  const tessel::TAnswer Count =
      Cashier.Call(cmd::kOperationReg, {{"Register", reg::ReceiptsClosed(0)}});
  ASSERT_EQ(Count.Error, kOk);
  EXPECT_EQ(Count.Fields.UInt("Value"), 2u);
  EXPECT_EQ(Cashier.Code(cmd::kCashReg, {{"Register", 300}}), kNoSuchRegister);

  ASSERT_EQ(Cashier.Code(cmd::kZReport), kOk);
  EXPECT_EQ(D.ECRMode(), kModeShiftClosed);
  EXPECT_TRUE(D.Tape().join('\n').contains("Молоко"));
}

TEST(VkktCommands, StatusAnswersDecodeAsTheDriverReadsThem) {
  TDevice D;
  TClient Admin(D);
  ASSERT_EQ(Admin.Code(cmd::kOpenSession), kOk);
  ASSERT_EQ(Admin.Code(cmd::kSale, {{"Quantity", 1.0}, {"Price", Money("1")}}), kOk);
  const tessel::TAnswer S = Admin.Call(cmd::kStatus);
  ASSERT_EQ(S.Error, kOk);
  EXPECT_EQ(S.Fields.Text("VersionFR"), "D.1");
  EXPECT_EQ(S.Fields.Date("DateFR"), QDate(2021, 3, 15));
  EXPECT_GE(S.Fields.Date("DateFR"), QDate(2018, 10, 24));
  EXPECT_EQ(S.Fields.UInt("ModeFr") & 0x0F, static_cast<std::uint64_t>(kModeReceiptOpen));
  EXPECT_EQ(S.Fields.Date("Date"), D.Now().date());
  EXPECT_EQ(S.Fields.UInt("OperatorNumber"), 30u);
  const tessel::TAnswer Short = Admin.Call(cmd::kShortStatus);
  ASSERT_EQ(Short.Error, kOk);
  EXPECT_EQ(Short.Fields.UInt("QuantityOfOperations"), 1u);
  EXPECT_EQ(Short.Fields.UInt("PreviousMode"), static_cast<std::uint64_t>(kModeShiftOpen));
  const tessel::TAnswer M = Admin.Call(cmd::kDeviceMetrics);
  ASSERT_EQ(M.Error, kOk);
  EXPECT_EQ(M.Fields.UInt("Model"), static_cast<std::uint64_t>(D.Identity().UModel));
  EXPECT_EQ(M.Fields.Text("Description"), D.Identity().UDescription);
  EXPECT_EQ(M.Fields.UInt("ModelParamCount"), ModelParams().size());
}

TEST(VkktCommands, ModelParameters) {
  TDevice D;
  TClient Admin(D);
  struct TCase {
    int Number;
    std::uint64_t Type, Value;
  };
  const TCase Cases[] = {{28, 1, 0},  {35, 1, 1},  {53, 0, 255}, {71, 1, 1},
                         {72, 0, 18}, {73, 0, 19}, {75, 0, 24}};
  for (const TCase& C : Cases) {
    const tessel::TAnswer A = Admin.Call(cmd::kModelParam, {{"ParamNumber", C.Number}});
    ASSERT_EQ(A.Error, kOk) << C.Number;
    EXPECT_EQ(A.Fields.UInt("ValueType"), C.Type) << C.Number;
    EXPECT_EQ(A.Fields.UInt("Value"), C.Value) << C.Number;
  }
  EXPECT_EQ(Admin.Code(cmd::kModelParam, {{"ParamNumber", 999}}), kNoSuchField);
  // Listing by index gives every parameter and ends with 93.
  const int Count = static_cast<int>(ModelParams().size());
  for (int I = 0; I < Count; ++I) {
    const tessel::TAnswer A = Admin.Call(cmd::kModelParamByIndex, {{"Index", I}});
    ASSERT_EQ(A.Error, kOk) << I;
    EXPECT_EQ(A.Fields.UInt("ParamNumber"), static_cast<std::uint64_t>(ModelParams()[I].Number));
    EXPECT_FALSE(A.Fields.Text("Description").isEmpty());
  }
  EXPECT_EQ(Admin.Code(cmd::kModelParamByIndex, {{"Index", Count}}), kNoSuchField);
}

TEST(VkktCommands, TablesThroughCommandBlocks) {
  TDevice D;
  TClient Admin(D);
  // Every structure and every value travels in its answer block.
  for (const TTableStruct& T : TableStructures()) {
    const tessel::TAnswer S = Admin.Call(cmd::kTableStruct, {{"Table", T.Number}});
    ASSERT_EQ(S.Error, kOk) << T.Number;
    EXPECT_EQ(S.Fields.Text("Name"), T.Name);
    EXPECT_EQ(S.Fields.UInt("Rows"), static_cast<std::uint64_t>(T.Rows));
    EXPECT_EQ(S.Fields.UInt("Fields"), T.Fields.size());
    for (int F = 1; F <= static_cast<int>(T.Fields.size()); ++F) {
      const tessel::TAnswer FS = Admin.Call(cmd::kFieldStruct, {{"Table", T.Number}, {"Field", F}});
      ASSERT_EQ(FS.Error, kOk) << T.Number << "." << F;
      EXPECT_EQ(FS.Fields.Text("Name"), T.Fields[F - 1].Name);
      EXPECT_EQ(FS.Fields.UInt("Type"), T.Fields[F - 1].IsString ? 1u : 0u);
      const tessel::TAnswer V =
          Admin.Call(cmd::kReadTable, {{"Table", T.Number}, {"Row", 1}, {"Field", F}});
      ASSERT_EQ(V.Error, kOk) << T.Number << "." << F;
    }
  }
  EXPECT_EQ(Admin.Code(cmd::kTableStruct, {{"Table", 0}}), kNoSuchField);
  EXPECT_EQ(
      Admin.Code(cmd::kTableStruct, {{"Table", static_cast<int>(TableStructures().size()) + 1}}),
      kNoSuchField);
  EXPECT_EQ(Admin.Code(cmd::kReadTable, {{"Table", 18}, {"Row", 1}, {"Field", 40}}), kNoSuchField);
  EXPECT_EQ(Admin.Code(cmd::kFieldStruct, {{"Table", 10}, {"Field", 32}}), kNoSuchField);

  // A write reads back: the field's type picks the integer or the text.
  ASSERT_EQ(Admin.Code(cmd::kWriteTable, {{"Table", 18},
                                          {"Row", 1},
                                          {"Field", 9},
                                          {"Integer", 7},
                                          {"Text", QString("г. Тверь, ул. Новая, 1")}}),
            kOk);
  ASSERT_EQ(
      Admin.Code(
          cmd::kWriteTable,
          {{"Table", 21}, {"Row", 1}, {"Field", 4}, {"Integer", 5555}, {"Text", QString("x")}}),
      kOk);
  const tessel::TAnswer Address =
      Admin.Call(cmd::kReadTable, {{"Table", 18}, {"Row", 1}, {"Field", 9}});
  EXPECT_EQ(Address.Fields.Text("Text"), "г. Тверь, ул. Новая, 1");
  const tessel::TAnswer Port =
      Admin.Call(cmd::kReadTable, {{"Table", 21}, {"Row", 1}, {"Field", 4}});
  EXPECT_EQ(Port.Fields.UInt("Integer"), 5555u);
  EXPECT_EQ(Port.Fields.Text("Text"), "5555");
  EXPECT_EQ(TClient(D, 1).Code(cmd::kWriteTable, {{"Table", 21}, {"Row", 1}, {"Field", 4}}),
            kNeedsAdministrator);
}

TEST(VkktCommands, ClockAndPrinting) {
  TDevice D;
  TClient Admin(D);
  ASSERT_EQ(Admin.Code(cmd::kSetDate, {{"Date", QDate(2026, 5, 4)}}), kOk);
  ASSERT_EQ(Admin.Code(cmd::kConfirmDate, {{"Date", QDate(2026, 5, 4)}}), kOk);
  ASSERT_EQ(Admin.Code(cmd::kSetTime, {{"Time", QTime(7, 8, 9)}}), kOk);
  EXPECT_EQ(D.Now(), QDateTime(QDate(2026, 5, 4), QTime(7, 8, 9), Qt::UTC));
  D.TakeTape();
  ASSERT_EQ(Admin.Code(cmd::kPrintString, {{"Text", QString("Первая строка")}}), kOk);
  ASSERT_EQ(Admin.Code(cmd::kPrintStringWithFont, {{"Font", 2}, {"Text", QString(40, 'x')}}), kOk);
  EXPECT_EQ(Admin.Code(cmd::kPrintStringWithFont, {{"Font", 9}, {"Text", QString("y")}}),
            kBadParameter);
  const QStringList Tape = D.Tape();
  ASSERT_EQ(Tape.size(), 2);
  EXPECT_EQ(Tape[0], "Первая строка");
  EXPECT_EQ(Tape[1], QString(LineWidth(2), 'x'));  // cut at the width of font 2
}

TEST(VkktCommands, BlocksTheDeviceCannotRead) {
  TDevice D;
  struct TCase {
    const char* What;
    QByteArray Block, Answer;
  };
  const TCase Cases[] = {
      {"unknown code", QByteArray::fromHex("7F1E000000"),
       QByteArray::fromHex("7F") + char(kUnknownCommand)},
      {"unknown two-byte code", QByteArray::fromHex("FF7F"),
       QByteArray::fromHex("FF7F") + char(kUnknownCommand)},
      {"short", QByteArray::fromHex("501E00"), QByteArray::fromHex("50") + char(kBadLength)},
      {"long", QByteArray::fromHex("501E00000000"), QByteArray::fromHex("50") + char(kBadLength)},
      {"wrong password", QByteArray::fromHex("5063000000"),
       QByteArray::fromHex("50") + char(kWrongPassword)},
      {"lone FF", QByteArray::fromHex("FF"), QByteArray::fromHex("FF") + char(kBadLength)},
  };
  for (const TCase& C : Cases) EXPECT_EQ(D.Execute(C.Block).toHex(), C.Answer.toHex()) << C.What;
}

// The commands this device carries out answer with something else than "not
// supported"; any other command of the driver's set answers exactly that,
// never success.
TEST(VkktCommands, TheCommandsTheDeviceCarriesOut) {
  const std::set<std::uint16_t> Handled = {
      cmd::kShortStatus,
      cmd::kStatus,
      cmd::kDeviceMetrics,
      cmd::kModelParam,
      cmd::kModelParamByIndex,
      cmd::kSerialNumber,
      cmd::kBeep,
      cmd::kGetExchangeParam,
      cmd::kSetExchangeParam,
      cmd::kReadTable,
      cmd::kWriteTable,
      cmd::kTableStruct,
      cmd::kFieldStruct,
      cmd::kInitTables,
      cmd::kSetDate,
      cmd::kConfirmDate,
      cmd::kSetTime,
      cmd::kPrintString,
      cmd::kPrintStringWithFont,
      cmd::kPrintWideString,
      cmd::kFeedDocument,
      cmd::kCutCheck,
      cmd::kOpenSession,
      cmd::kZReport,
      cmd::kXReport,
      cmd::kCashIncome,
      cmd::kCashOutcome,
      cmd::kCashReg,
      cmd::kOperationReg,
      cmd::kOpenDrawer,
      cmd::kSale,
      cmd::kBuy,
      cmd::kReturnSale,
      cmd::kReturnBuy,
      cmd::kStorno,
      cmd::kCloseCheck,
      cmd::kDiscount,
      cmd::kCharge,
      cmd::kCancelCheck,
      cmd::kSubTotal,
      cmd::kOpenCheck,
      cmd::kStornoDiscount,
      cmd::kStornoCharge,
      cmd::kFNStatus,
      cmd::kFNSerial,
      cmd::kFNExpiration,
      cmd::kFNVersion,
      cmd::kFontMetrics,
      cmd::kCashRegEx,
  };
  for (std::uint16_t Code : Handled) EXPECT_TRUE(tessel::FindCommand(Code)) << Code;
  for (const tessel::TCommandDef& Def : tessel::AllCommands()) {
    TDevice D;
    const tessel::TFieldValues Fields(Def.Request);
    const std::string Block = tessel::EncodeRequest(Def, 30, Fields);
    const QByteArray A = D.Execute(QByteArray(Block.data(), static_cast<qsizetype>(Block.size())));
    ASSERT_GE(A.size(), Def.Code > 0xFF ? 3 : 2) << Def.Name;
    const auto Error = static_cast<std::uint8_t>(A[Def.Code > 0xFF ? 2 : 1]);
    if (Handled.count(Def.Code))
      EXPECT_NE(Error, kNotSupported) << Def.Name;
    else
      EXPECT_EQ(Error, kNotSupported) << Def.Name;
  }
}

TEST(VkktCommands, FnFactsAndExchangeParameters) {
  TDevice D;
  TClient Admin(D);
  const tessel::TAnswer Serial = Admin.Call(cmd::kFNSerial);
  ASSERT_EQ(Serial.Error, kOk);
  EXPECT_EQ(Serial.Fields.Text("SerialNumber"), D.Identity().FNSerialNumber);
  ASSERT_EQ(Admin.Code(cmd::kOpenSession), kOk);
  const tessel::TAnswer Status = Admin.Call(cmd::kFNStatus);
  ASSERT_EQ(Status.Error, kOk);
  EXPECT_EQ(Status.Fields.UInt("SessionState"), 1u);
  EXPECT_EQ(Status.Fields.UInt("DocumentNumber"), 1u);
  EXPECT_EQ(Status.Fields.Date("Date"), D.Now().date());
  const tessel::TAnswer Valid = Admin.Call(cmd::kFNExpiration);
  EXPECT_EQ(Valid.Fields.Date("Date"), D.FNValidUntil());

  ASSERT_EQ(Admin.Code(cmd::kSetExchangeParam,
                       {{"Port", 2}, {"BaudRate", 3}, {"Timeout", 500}, {"TCPPort", 7000}}),
            kOk);
  const tessel::TAnswer P = Admin.Call(cmd::kGetExchangeParam, {{"Port", 2}});
  ASSERT_EQ(P.Error, kOk);
  EXPECT_EQ(P.Fields.UInt("BaudRate"), 3u);
  EXPECT_EQ(P.Fields.UInt("Timeout"), 500u);
  EXPECT_EQ(P.Fields.UInt("TCPPort"), 7000u);
  EXPECT_EQ(Admin.Call(cmd::kGetExchangeParam, {{"Port", 0}}).Fields.UInt("TCPPort"), 7778u);
  EXPECT_EQ(Admin.Code(cmd::kGetExchangeParam, {{"Port", 9}}), kBadParameter);
  EXPECT_EQ(
      TClient(D, 1).Code(cmd::kSetExchangeParam, {{"Port", 0}, {"Timeout", 1}, {"TCPPort", 1}}),
      kNeedsAdministrator);
}

TEST(VkktCommands, FontsExtendedRegistersAndTheMissingJournal) {
  TDevice D;
  TClient Admin(D);
  for (int Font = 1; Font <= kFontCount; ++Font) {
    const tessel::TAnswer F = Admin.Call(cmd::kFontMetrics, {{"Font", Font}});
    ASSERT_EQ(F.Error, kOk) << Font;
    EXPECT_EQ(F.Fields.UInt("PrintWidth"),
              static_cast<std::uint64_t>(FontMetrics(Font)->PrintWidth));
    EXPECT_EQ(F.Fields.UInt("FontCount"), static_cast<std::uint64_t>(kFontCount));
  }
  // Font 1 gives the 48 characters the programs print receipts with.
  const tessel::TAnswer F1 = Admin.Call(cmd::kFontMetrics, {{"Font", 1}});
  EXPECT_EQ(F1.Fields.UInt("PrintWidth") / F1.Fields.UInt("CharWidth"), 48u);
  EXPECT_EQ(Admin.Code(cmd::kFontMetrics, {{"Font", 0}}), kBadParameter);
  EXPECT_EQ(Admin.Code(cmd::kFontMetrics, {{"Font", kFontCount + 1}}), kBadParameter);

  for (int N : {kFirstExtendedCashRegister, 4229, kLastExtendedCashRegister}) {
    const tessel::TAnswer X = Admin.Call(cmd::kCashRegEx, {{"Register", N}});
    ASSERT_EQ(X.Error, kOk) << N;
    EXPECT_EQ(X.Fields.Money("Value"), TMoney());
  }
  EXPECT_EQ(Admin.Code(cmd::kCashRegEx, {{"Register", 10}}), kNoSuchRegister);
  EXPECT_EQ(Admin.Code(cmd::kCashRegEx, {{"Register", kLastExtendedCashRegister + 1}}),
            kNoSuchRegister);

  // The old electronic journal: the device's own "not supported".
  EXPECT_EQ(Admin.Code(cmd::kEKLZVersion), kNotSupported);
}
