// The driver against the process's own device, the virtual KKT, as the
// programs meet it: the status through the driver and the raw blocks the
// server of shared ports sends.

#include <gtest/gtest.h>

#ifdef VARKON_HAVE_VKKT

#include "tessel/DeviceErrors.h"
#include "tessel/KktDevice.h"
#include "tessel/Tessel.h"
#include "tessel/vkkt/Device.h"

namespace {

class VirtualKktTest : public ::testing::Test {
 protected:
  // A fresh virtual KKT for this test, the default device of the process.
  void SetUp() override { tessel::SetInProcessDeviceFactory({}); }
  void TearDown() override { tessel::SetInProcessDeviceFactory({}); }
};

TEST_F(VirtualKktTest, StatusThroughTheDriver) {
  TTessel Driver;
  Driver.SetPassword(30);
  ASSERT_EQ(Driver.GetECRStatus(), 0) << Driver.ResultCodeDescription().toStdString();
  EXPECT_EQ(Driver.OperatorNumber(), 30);
  EXPECT_EQ(Driver.ECRMode(), 4);  // a new device: shift closed
  EXPECT_FALSE(Driver.ECRSoftVersion().isEmpty());
  EXPECT_TRUE(Driver.Date().isValid());
  EXPECT_TRUE(Driver.ReceiptRibbonIsPresent());
}

TEST_F(VirtualKktTest, RawStatusAndCancelAsTheServerSendsThem) {
  TTessel Driver;
  Driver.SetBinaryConversion(1);
  Driver.SetTransferBytes(QStringLiteral("11 1E 00 00 00"));
  ASSERT_EQ(Driver.ExchangeBytes(), 0);
  const QStringList Status = Driver.TransferBytes().split(' ');
  ASSERT_EQ(Status.size(), 52);
  EXPECT_EQ(Status[2 + 15].toInt(nullptr, 16) & 0x0F, 4);

  // No receipt is open: the cancel answers its error byte, which is the result.
  Driver.SetTransferBytes(QStringLiteral("88 1E 00 00 00"));
  const int Code = Driver.ExchangeBytes();
  EXPECT_EQ(Code, tessel::err::kNoReceipt);
  EXPECT_EQ(Driver.TransferBytes(), QStringLiteral("88 14"));
}

// Creating and freeing driver instances never replaces the device.
TEST_F(VirtualKktTest, InstancesComeAndGoTheDeviceStays) {
  const tessel::PKktDevice Before = tessel::InProcessDevice();
  ASSERT_NE(Before, nullptr);
  {
    TTessel A;
    ASSERT_EQ(A.GetECRStatus(), 0);
    TTessel B;
    ASSERT_EQ(B.GetECRStatus(), 0);
  }
  TTessel C;
  ASSERT_EQ(C.GetECRStatus(), 0);
  EXPECT_EQ(tessel::InProcessDevice(), Before);
}

// The virtual KKT held by the test, so that its tape can be read back.
class TTestKkt : public tessel::IKktDevice {
 public:
  std::string Execute(const std::string& Command) override {
    const QByteArray Answer =
        Device.Execute(QByteArray(Command.data(), static_cast<qsizetype>(Command.size())));
    return std::string(Answer.constData(), static_cast<std::size_t>(Answer.size()));
  }
  vkkt::TDevice Device;
};

TEST_F(VirtualKktTest, AShiftWithTwoReceiptsAddsUpInTheRegistersAndPrintsOnTheTape) {
  const auto Kkt = std::make_shared<TTestKkt>();
  tessel::SetInProcessDeviceFactory([Kkt] { return Kkt; });
  TTessel Driver;
  Driver.SetPassword(30);
  auto Sale = [&](int Quantity, qint64 PriceKopecks, int Department, const char* Name) {
    Driver.SetQuantity(Quantity);
    Driver.SetPrice(TMoney::FromUnits(PriceKopecks * 100));
    Driver.SetDepartment(Department);
    Driver.SetStringForPrinting(QString::fromUtf8(Name));
    ASSERT_EQ(Driver.Sale(), 0) << Driver.ResultCodeDescription().toStdString();
  };
  auto Close = [&](qint64 CashKopecks) {
    Driver.SetSumm1(TMoney::FromUnits(CashKopecks * 100));
    ASSERT_EQ(Driver.CloseCheck(), 0) << Driver.ResultCodeDescription().toStdString();
  };
  auto Cash = [&](int Register) {
    Driver.SetRegisterNumber(Register);
    EXPECT_EQ(Driver.GetCashReg(), 0);
    return Driver.ContentsOfCashRegister();
  };

  Sale(1, 10000, 1, "Молоко");  // the first receipt opens the shift
  Close(10000);
  Sale(2, 1500, 2, "Хлеб");
  Sale(1, 2000, 1, "Сыр");
  Close(10000);
  EXPECT_EQ(Driver.Change(), TMoney::FromUnits(500000));

  ASSERT_EQ(Driver.GetECRStatus(), 0);
  EXPECT_EQ(Driver.ECRMode(), 2);  // shift open
  EXPECT_EQ(Cash(0), TMoney::FromUnits(1200000));    // department 1: 100.00 + 20.00
  EXPECT_EQ(Cash(1), TMoney::FromUnits(300000));     // department 2: 2 x 15.00
  EXPECT_EQ(Cash(136), TMoney::FromUnits(1500000));  // sale receipts in all
  EXPECT_EQ(Cash(241), TMoney::FromUnits(1500000));  // cash in the drawer, change given back
  Driver.SetRegisterNumber(64);
  ASSERT_EQ(Driver.GetOperationReg(), 0);
  EXPECT_EQ(Driver.ContentsOfOperationRegister(), 2);  // receipts closed

  const QStringList Tape = Kkt->Device.Tape();
  const auto At = [&](const char* Text) {
    for (int i = 0; i < Tape.size(); ++i)
      if (Tape[i].contains(QString::fromUtf8(Text))) return i;
    return -1;
  };
  ASSERT_GE(At("Молоко"), 0) << Tape.join('\n').toStdString();
  EXPECT_LT(At("Молоко"), At("Хлеб"));
  EXPECT_LT(At("Хлеб"), At("Сыр"));

  // The shift closing report clears the shift's registers, not the drawer.
  ASSERT_EQ(Driver.PrintReportWithCleaning(), 0);
  ASSERT_EQ(Driver.GetECRStatus(), 0);
  EXPECT_EQ(Driver.ECRMode(), 4);
  EXPECT_EQ(Cash(136), TMoney::FromUnits(0));
  EXPECT_EQ(Cash(241), TMoney::FromUnits(1500000));
  EXPECT_GT(Kkt->Device.Tape().size(), Tape.size());
}

}  // namespace

#endif
