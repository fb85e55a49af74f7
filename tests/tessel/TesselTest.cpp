// The stand-in driver against a small device of the tests' own: commands and
// answers travel through the table, outputs land in their properties, raw
// blocks behave as the shared-port server expects, all instances reach one
// device, and every method without a command says so.

#include "tessel/Tessel.h"

#include <gtest/gtest.h>

#include <set>

#include "StandInDevice.h"
#include "driver/DriverFactory.h"
#include "driver/ResultCodes.h"
#include "tessel/DeviceErrors.h"
#include "tessel/KktDevice.h"

namespace {

class TesselTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Device = std::make_shared<TStandInDevice>();
    tessel::SetInProcessDeviceFactory([D = Device] { return D; });
  }
  void TearDown() override { tessel::SetInProcessDeviceFactory({}); }

  std::shared_ptr<TStandInDevice> Device;
  TTessel Driver;
};

TEST_F(TesselTest, ReportsAVersionThatPassesTheGate) {
  RegisterTesselDriver();
  QString Error;
  const std::unique_ptr<IDriver> Created = CreateDriver(&Error);
  RegisterDriverFactory({});
  ASSERT_NE(Created, nullptr) << Error.toStdString();
  EXPECT_GE(DriverVersionOf(*Created), (TDriverVersion{4, 13, 0, 594}));
  EXPECT_EQ(Created->DriverMajorVersion(), 4);
  EXPECT_GE(Created->DriverMinorVersion(), 15);
}

TEST_F(TesselTest, ConnectIdentifiesTheDeviceAndShowsTheBlocks) {
  EXPECT_FALSE(Driver.Connected());
  ASSERT_EQ(Driver.Connect(), 0) << Driver.ResultCodeDescription().toStdString();
  EXPECT_TRUE(Driver.Connected());
  EXPECT_EQ(Driver.UModel(), 45);
  EXPECT_EQ(Driver.UDescription(), QStringLiteral("Стенд"));
  EXPECT_EQ(Driver.ECRInput(), QStringLiteral("12"));
  EXPECT_TRUE(Driver.ECROutput().startsWith(QStringLiteral("12 00 ")));
  EXPECT_EQ(Driver.ResultCode(), 0);
  EXPECT_EQ(Driver.ResultCodeDescription(), QStringLiteral("Ошибок нет"));
  EXPECT_EQ(Driver.Disconnect(), 0);
  EXPECT_FALSE(Driver.Connected());
}

TEST_F(TesselTest, StatusFillsItsOutputs) {
  Driver.SetPassword(30);
  ASSERT_EQ(Driver.GetECRStatus(), 0) << Driver.ResultCodeDescription().toStdString();
  EXPECT_EQ(Driver.ECRInput(), QStringLiteral("11 1E 00 00 00"));
  EXPECT_EQ(Driver.OperatorNumber(), 30);
  EXPECT_EQ(Driver.ECRMode(), 4);
  EXPECT_EQ(Driver.ECRModeDescription(), QStringLiteral("Смена закрыта"));
  EXPECT_EQ(Driver.ECRSoftVersion(), QStringLiteral("C.3"));
  EXPECT_EQ(Driver.ECRSoftDate(), QDate(2019, 3, 1));
  EXPECT_EQ(Driver.Date(), QDate(2026, 1, 15));
  EXPECT_EQ(Driver.Time(), QTime(10, 0, 0));
  EXPECT_EQ(Driver.SerialNumber(), QStringLiteral("123456"));
  EXPECT_EQ(Driver.INN(), QStringLiteral("7701234567"));
  EXPECT_EQ(Driver.ECRFlags(), 0x11);
  EXPECT_TRUE(Driver.ReceiptRibbonIsPresent());
  EXPECT_TRUE(Driver.PointPosition());
  EXPECT_FALSE(Driver.JournalRibbonIsPresent());
  EXPECT_TRUE(Driver.FM1IsPresent());
  EXPECT_TRUE(Driver.IsFMSessionOpen());
  EXPECT_FALSE(Driver.IsFM24HoursOver());

  // A receipt: mode 8 with the receipt type in the high four bits.
  Device->Mode = 8;
  ASSERT_EQ(Driver.GetECRStatus(), 0);
  EXPECT_EQ(Driver.ECRMode(), 8);
  EXPECT_EQ(Driver.ECRModeStatus(), 1);
}

TEST_F(TesselTest, DeviceErrorsBecomeTheResultAndLeaveOutputsAlone) {
  Driver.SetTableNumber(18);
  Driver.SetRowNumber(1);
  Driver.SetFieldNumber(1);
  ASSERT_EQ(Driver.ReadTable(), 0);
  EXPECT_EQ(Driver.ValueOfFieldString(), QStringLiteral("ООО Ромашка"));
  Driver.SetTableNumber(99);
  EXPECT_EQ(Driver.ReadTable(), kResultFieldMissing);
  EXPECT_EQ(Driver.ResultCode(), kResultFieldMissing);
  EXPECT_EQ(Driver.ResultCodeDescription(), QStringLiteral("Нет такой таблицы или поля"));
  EXPECT_EQ(Driver.ECROutput(), QStringLiteral("20 5D"));
  EXPECT_EQ(Driver.ValueOfFieldString(), QStringLiteral("ООО Ромашка"));

  Driver.SetPassword(7);
  EXPECT_EQ(Driver.Beep(), tessel::err::kBadPassword);
  EXPECT_EQ(Driver.ResultCodeDescription(), QStringLiteral("Неверный пароль"));
}

TEST_F(TesselTest, ATableWriteReadsBack) {
  Driver.SetTableNumber(18);
  Driver.SetRowNumber(1);
  Driver.SetFieldNumber(7);
  Driver.SetValueOfFieldString(QStringLiteral("ИП Иванов"));
  ASSERT_EQ(Driver.WriteTable(), 0);
  Driver.SetValueOfFieldString(QString());
  ASSERT_EQ(Driver.ReadTable(), 0);
  EXPECT_EQ(Driver.ValueOfFieldString(), QStringLiteral("ИП Иванов"));
}

TEST_F(TesselTest, ModelParametersComeAsBooleanOrInteger) {
  Driver.SetModelParamNumber(28);
  ASSERT_EQ(Driver.ReadModelParamValue(), 0);
  EXPECT_EQ(Driver.ModelParamValue(), QVariant(false));
  Driver.SetModelParamNumber(53);
  ASSERT_EQ(Driver.ReadModelParamValue(), 0);
  EXPECT_EQ(Driver.ModelParamValue(), QVariant(255));
}

TEST_F(TesselTest, AReceiptThroughTheDriver) {
  ASSERT_EQ(Driver.OpenSession(), 0);
  Driver.SetQuantity(2);
  Driver.SetPrice(TMoney::FromUnits(150000));  // 15.00
  Driver.SetDepartment(1);
  Driver.SetStringForPrinting(QStringLiteral("Хлеб"));
  ASSERT_EQ(Driver.Sale(), 0);
  EXPECT_EQ(Device->ReceiptTotal, 3000u);
  Driver.SetSumm1(TMoney::FromUnits(200000));
  EXPECT_EQ(Driver.CloseCheck(), tessel::err::kPaymentShort);
  Driver.SetSumm1(TMoney::FromUnits(500000));
  ASSERT_EQ(Driver.CloseCheck(), 0);
  EXPECT_EQ(Driver.Change(), TMoney::FromUnits(200000));
}

// The server of shared ports sends 0x11 and 0x88 as raw blocks and reads the
// mode at offset 15 of the status data; the answers come back in
// TransferBytes, the error byte as the result.
TEST_F(TesselTest, RawStatusAndCancelBehaveAsTheServerExpects) {
  Device->Mode = 8;
  Driver.SetBinaryConversion(1);
  Driver.SetTransferBytes(QStringLiteral("11 1E 00 00 00"));
  ASSERT_EQ(Driver.ExchangeBytes(), 0);
  const QStringList Status = Driver.TransferBytes().split(' ');
  ASSERT_EQ(Status.size(), 52);
  EXPECT_EQ(Status[0], QStringLiteral("11"));
  EXPECT_EQ(Status[1], QStringLiteral("00"));
  EXPECT_EQ(Status[2 + 15].toInt(nullptr, 16) & 0x0F, 8);
  EXPECT_EQ(Driver.ECRInput(), QStringLiteral("11 1E 00 00 00"));

  Driver.SetTransferBytes(QStringLiteral("881e000000"));
  ASSERT_EQ(Driver.ExchangeBytes(), 0);
  EXPECT_EQ(Driver.TransferBytes(), QStringLiteral("88 00 1E"));
  EXPECT_EQ(Device->Mode, 2);

  // Nothing to cancel now: the device's error byte is the result.
  Driver.SetTransferBytes(QStringLiteral("88 1E 00 00 00"));
  EXPECT_EQ(Driver.ExchangeBytes(), tessel::err::kNoReceipt);
  EXPECT_EQ(Driver.TransferBytes(), QStringLiteral("88 14"));
  // A command the device does not know.
  Driver.SetTransferBytes(QStringLiteral("FE"));
  EXPECT_EQ(Driver.ExchangeBytes(), kResultCommandNotSupported);
}

TEST_F(TesselTest, RawBlocksThatCannotBeSentAreRefused) {
  for (const char* Text : {"", "1", "11 1", "zz", "11 GG 00"}) {
    SCOPED_TRACE(Text);
    Driver.SetTransferBytes(QString::fromLatin1(Text));
    EXPECT_EQ(Driver.ExchangeBytes(), kResultBadValue);
  }
  Driver.SetTransferBytes(QString(512, QChar('0')));
  EXPECT_EQ(Driver.ExchangeBytes(), kResultBadValue);
  EXPECT_EQ(Device->Commands, 0);
}

TEST_F(TesselTest, AllInstancesReachOneDevice) {
  ASSERT_EQ(Driver.OpenSession(), 0);
  {
    TTessel Other;
    Other.SetPrice(TMoney::FromUnits(10000));
    Other.SetQuantity(1);
    ASSERT_EQ(Other.Sale(), 0);
  }
  TTessel Later;
  ASSERT_EQ(Later.GetECRStatus(), 0);
  EXPECT_EQ(Later.ECRMode(), 8);
  ASSERT_EQ(Driver.GetECRStatus(), 0);
  EXPECT_EQ(Driver.ECRMode(), 8);
}

TEST_F(TesselTest, FailuresOfTheDriverAndTheLinkHaveCodesAndTexts) {
  // An input that does not fit its field is never sent.
  Driver.SetTableNumber(300);
  EXPECT_EQ(Driver.ReadTable(), kResultBadValue);
  EXPECT_EQ(Driver.ResultCodeDescription(), QStringLiteral("Недопустимое значение параметра"));
  EXPECT_EQ(Device->Commands, 0);

  // An answer that does not fit the command.
  Driver.SetTableNumber(18);
  Device->ScriptedAnswer = std::string("\x20\x00\x01", 3);
  EXPECT_EQ(Driver.ReadTable(), kResultBadAnswer);
  EXPECT_EQ(Driver.ECROutput(), QStringLiteral("20 00 01"));
  EXPECT_FALSE(Driver.ResultCodeDescription().isEmpty());

  // A connection type without a transport.
  TTessel Serial;
  Serial.SetConnectionType(0);
  EXPECT_EQ(Serial.Connect(), kResultConnectionType);
  EXPECT_EQ(Serial.ResultCodeDescription(), QStringLiteral("Тип подключения не поддерживается"));

  // No device in the process.
  tessel::SetInProcessDeviceFactory([] { return tessel::PKktDevice(); });
  TTessel Lonely;
  EXPECT_EQ(Lonely.Connect(), -2);
  EXPECT_FALSE(Lonely.Connected());
}

TEST_F(TesselTest, ErrorDescriptionsForEveryCode) {
  Driver.SetErrorCode(0x5D);
  ASSERT_EQ(Driver.ReadErrorDescription(), 0);
  EXPECT_EQ(Driver.ErrorDescription(), QStringLiteral("Нет такой таблицы или поля"));
  Driver.SetErrorCode(kResultNotSupported);
  ASSERT_EQ(Driver.ReadErrorDescription(), 0);
  EXPECT_EQ(Driver.ErrorDescription(), QStringLiteral("Метод не поддерживается драйвером"));
}

// The methods the stand-in implements. Every other catalogued method must
// answer the not-supported code, so that nothing passes for done by
// answering 0; a method added here must be added to the table or the driver.
const std::set<TMethodId>& Implemented() {
  using M = TMethodId;
  static const std::set<TMethodId> Set = {
      // connection and raw commands (the driver's own)
      M::Connect, M::Disconnect, M::ExchangeBytes, M::WaitForPrinting, M::ReadErrorDescription,
      M::ClearResult,
      // status, device facts
      M::GetShortECRStatus, M::GetECRStatus, M::GetDeviceMetrics, M::ReadModelParamValue,
      M::ReadModelParam, M::ReadSerialNumber, M::Beep, M::GetFontMetrics, M::GetCashRegEx,
      M::GetEKLZVersion, M::GetExchangeParam, M::SetExchangeParam,
      // tables
      M::ReadTable, M::WriteTable, M::GetTableStruct, M::GetFieldStruct, M::InitTable,
      // clock
      M::SetDate, M::ConfirmDate, M::SetTime,
      // printing
      M::PrintString, M::PrintStringWithFont, M::PrintWideString, M::FeedDocument, M::CutCheck,
      // shifts and reports
      M::OpenSession, M::PrintReportWithCleaning, M::PrintReportWithoutCleaning,
      // cash and registers
      M::CashIncome, M::CashOutcome, M::GetCashReg, M::GetOperationReg, M::OpenDrawer,
      // receipts
      M::Sale, M::Buy, M::ReturnSale, M::ReturnBuy, M::Storno, M::CloseCheck, M::Discount,
      M::Charge, M::CancelCheck, M::SysAdminCancelCheck, M::CheckSubTotal, M::OpenCheck,
      M::StornoDiscount, M::StornoCharge,
      // FN
      M::FNGetStatus, M::FNGetSerial, M::FNGetExpirationTime, M::FNGetVersion};
  return Set;
}

TEST_F(TesselTest, EveryOtherMethodAnswersNotSupported) {
  for (const TMethodInfo& Info : AllMethods()) {
    SCOPED_TRACE(Info.Name);
    TTessel Fresh;
    const int Code = Fresh.Call(Info.Id);
    if (Implemented().count(Info.Id)) {
      EXPECT_NE(Code, kResultNotSupported);
    } else {
      EXPECT_EQ(Code, kResultNotSupported);
      EXPECT_EQ(Fresh.ResultCode(), kResultNotSupported);
      EXPECT_EQ(Fresh.ResultCodeDescription(), QStringLiteral("Метод не поддерживается драйвером"));
    }
  }
}

TEST_F(TesselTest, EveryCommandOfTheTableHasAnImplementedMethod) {
  for (const tessel::TCommandDef& C : tessel::AllCommands()) {
    for (TMethodId M : C.Methods) EXPECT_TRUE(Implemented().count(M)) << MethodName(M);
  }
}

}  // namespace
