// The driver against the process's own device, the virtual KKT, as the
// programs meet it: the status through the driver and the raw blocks the
// server of shared ports sends.

#include <gtest/gtest.h>

#ifdef VARKON_HAVE_VKKT

#include "tessel/DeviceErrors.h"
#include "tessel/KktDevice.h"
#include "tessel/Tessel.h"

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

}  // namespace

#endif
