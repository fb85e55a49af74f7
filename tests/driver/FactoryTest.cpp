// Creating instances: without an implementation no driver is installed; the
// registered factory's instances, failures and version.

#include "driver/DriverFactory.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "driver/ResultCodes.h"
#include "driver/StoredDriver.h"

namespace {

class TVersionedDriver : public TStoredDriver {
 public:
  TVersionedDriver() {
    Store(TPropertyId::DriverMajorVersion, 4);
    Store(TPropertyId::DriverMinorVersion, 15);
    Store(TPropertyId::DriverRelease, 0);
    Store(TPropertyId::DriverBuild, 600);
  }

 private:
  int DoCall(TMethodId) override { return NotSupported(); }
};

class Factory : public testing::Test {
 protected:
  void TearDown() override { RegisterDriverFactory({}); }
};

TEST_F(Factory, WithoutAnImplementationNoDriverIsInstalled) {
  EXPECT_FALSE(DriverInstalled());
  QString Error;
  EXPECT_EQ(CreateDriver(&Error), nullptr);
  EXPECT_EQ(Error, QString::fromUtf8("Драйвер ФР не установлен"));
  EXPECT_EQ(CreateDriver(), nullptr);
}

TEST_F(Factory, CreatesInstancesOfTheRegisteredImplementation) {
  RegisterDriverFactory([] { return std::make_unique<TVersionedDriver>(); });
  EXPECT_TRUE(DriverInstalled());
  QString Error = QStringLiteral("untouched");
  auto First = CreateDriver(&Error);
  auto Second = CreateDriver(&Error);
  ASSERT_NE(First, nullptr);
  ASSERT_NE(Second, nullptr);
  EXPECT_NE(First, Second);
  EXPECT_EQ(Error, QStringLiteral("untouched"));
  EXPECT_EQ(DriverVersionOf(*First).ToText(), QStringLiteral("4.15.0.600"));
  RegisterDriverFactory({});
  EXPECT_FALSE(DriverInstalled());
  EXPECT_EQ(CreateDriver(), nullptr);
}

TEST_F(Factory, FailuresOfTheFactoryAreReported) {
  RegisterDriverFactory(
      []() -> std::unique_ptr<IDriver> { throw std::runtime_error("Нет доступа к устройству"); });
  QString Error;
  EXPECT_EQ(CreateDriver(&Error), nullptr);
  EXPECT_EQ(Error, QString::fromUtf8("Нет доступа к устройству"));
  RegisterDriverFactory([] { return std::unique_ptr<IDriver>(); });
  EXPECT_EQ(CreateDriver(&Error), nullptr);
  EXPECT_EQ(Error, QString::fromUtf8("Драйвер ФР не установлен"));
}

TEST(DriverVersion, ComparesPartByPartFromMajorToBuild) {
  const TDriverVersion Minimum{4, 13, 0, 594};
  EXPECT_LT((TDriverVersion{4, 13, 0, 593}), Minimum);
  EXPECT_EQ((TDriverVersion{4, 13, 0, 594}), Minimum);
  EXPECT_GT((TDriverVersion{4, 14, 0, 0}), Minimum);
  EXPECT_GT((TDriverVersion{4, 13, 1, 0}), Minimum);
  EXPECT_LT((TDriverVersion{3, 99, 99, 9999}), Minimum);
  EXPECT_GT((TDriverVersion{5, 0, 0, 0}), Minimum);
}

TEST(ResultCodes, NotSupportedIsDistinctAndNeverSuccess) {
  const int Interpreted[] = {kResultOk,
                             kResultEndOfData,
                             kResultPrinting,
                             kResultPrintingPending,
                             kResultFieldMissing,
                             kResultCommandNotSupported,
                             kResultJournalEndOfData,
                             kResultNoMoreDocuments,
                             -1,
                             -2,
                             -3,
                             -8,
                             -18};
  for (int Code : Interpreted) EXPECT_NE(kResultNotSupported, Code);
  TVersionedDriver Driver;
  EXPECT_EQ(Driver.FNAcceptMakringCode(), kResultNotSupported);
  EXPECT_EQ(Driver.ResultCode(), kResultNotSupported);
  EXPECT_EQ(Driver.ResultCodeDescription(), QString::fromUtf8("Метод не поддерживается драйвером"));
  EXPECT_TRUE(IsPrintingBusy(80));
  EXPECT_TRUE(IsPrintingBusy(75));
  EXPECT_FALSE(IsPrintingBusy(0));
  EXPECT_FALSE(IsPrintingBusy(76));
}

}  // namespace

namespace {

// Returns codes without storing them.
class TForgetfulDriver : public TStoredDriver {
 private:
  int DoCall(TMethodId Id) override { return Id == TMethodId::Beep ? 0 : 93; }
};

TEST(ResultCodes, TheReturnedCodeAlwaysStandsInResultCode) {
  TForgetfulDriver Driver;
  Driver.SetResultCode(5);
  EXPECT_EQ(Driver.ReadTable(), 93);
  EXPECT_EQ(Driver.ResultCode(), 93);
  EXPECT_EQ(Driver.Beep(), 0);
  EXPECT_EQ(Driver.ResultCode(), 0);
}

}  // namespace
