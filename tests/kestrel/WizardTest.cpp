// The main window, the first page and the work-type page offscreen, with the
// recording driver as the installed driver.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "driver/DriverFactory.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/Dialogs.h"
#include "kestrel/framework/KestrelError.h"
#include "kestrel/framework/fmuConnectDevice.h"
#include "kestrel/framework/fmuMain.h"
#include "kestrel/framework/fmuSelectWorkType.h"
#include "tests/support/RecordingDriver.h"

using TAnswer = TRecordingDriver::TAnswer;

// A stand-in of the port-type page: its Next leads to the work type, or
// refuses, or keeps the wizard where it is.
class TfmSelectPortType : public TParamPage {
  Q_OBJECT

 public:
  enum class TMode { Go, Refuse, Stay } Mode = TMode::Go;
  void Next() override {
    if (Mode == TMode::Refuse) throw EKestrelError(QStringLiteral("Выберите порт"));
    if (Mode == TMode::Go) Controller().NextPageClass = QStringLiteral("TfmSelectWorkType");
  }
};

// A page whose on-show code fails.
class TfmSearchDevice : public TParamPage {
  Q_OBJECT

 public:
  void Activate() override {
    Controller().EnableNext(false);
    throw EKestrelError(QStringLiteral("Ошибка -1, Нет связи"));
  }
};

namespace {

class TTestDialogs : public IDialogs {
 public:
  void ShowError(QWidget*, const QString& Message) override { Errors << Message; }
  void ShowMessage(QWidget*, const QString& Message) override { Messages << Message; }
  bool Confirm(QWidget*, const QString&) override { return true; }
  QStringList Errors, Messages;
};

struct TDriverSetup {
  TDriverVersion Version{4, 15, 0, 600};
  int ModelParam73 = 0;
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetController();
    SetDialogs(&FDialogs);
    RegisterFrameworkPages();
  }
  void TearDown() override {
    FMain.reset();
    RegisterDriverFactory({});
    SetDialogs(nullptr);
    ResetController();
  }

  void InstallDriver(TDriverSetup Setup) {
    RegisterDriverFactory([Setup] {
      auto D = std::make_unique<TRecordingDriver>();
      D->Preset(TPropertyId::DriverMajorVersion, Setup.Version.Major);
      D->Preset(TPropertyId::DriverMinorVersion, Setup.Version.Minor);
      D->Preset(TPropertyId::DriverRelease, Setup.Version.Release);
      D->Preset(TPropertyId::DriverBuild, Setup.Version.Build);
      D->ScriptDefault(TMethodId::ReadModelParamValue,
                       TAnswer(0, {{TPropertyId::ModelParamValue, Setup.ModelParam73}}));
      return D;
    });
  }

  // The window with the framework's pages and, when asked, the stand-ins.
  TfmMain& Open(bool WithStandIns = false) {
    FMain = std::make_unique<TfmMain>(QStringLiteral("/nonexistent"));
    FMain->RegisterPages();
    if (WithStandIns) {
      FMain->AddPage(FPortType = new TfmSelectPortType);
      FMain->AddPage(new TfmSearchDevice);
    }
    FMain->show();
    FMain->Start();
    return *FMain;
  }

  TRecordingDriver* Driver() { return dynamic_cast<TRecordingDriver*>(Controller().Driver.get()); }
  TParamPage* Page(const char* Class) { return FMain->FindPageByClass(QLatin1String(Class)); }

  TTestDialogs FDialogs;
  std::unique_ptr<TfmMain> FMain;
  TfmSelectPortType* FPortType = nullptr;
};

TEST_F(WizardTest, VersionGate) {
  struct TCase {
    TDriverVersion Version;
    bool NextEnabled;
  };
  const TCase Cases[] = {
      {{4, 13, 0, 593}, false},   {{4, 13, 0, 594}, true},   {{4, 14, 0, 0}, true},
      {{3, 99, 99, 9999}, false}, {{4, 12, 9, 9999}, false}, {{5, 0, 0, 0}, true},
  };
  for (const TCase& C : Cases) {
    ResetController();
    InstallDriver({C.Version, 0});
    TfmMain& Main = Open();
    auto* First = dynamic_cast<TfmConnectDevice*>(Page("TfmConnectDevice"));
    ASSERT_NE(First, nullptr);
    EXPECT_EQ(Main.btnNext->isEnabled(), C.NextEnabled) << C.Version.ToText().toStdString();
    EXPECT_TRUE(Main.btnMenu->isEnabled());
    EXPECT_FALSE(Main.btnPrev->isEnabled());
    EXPECT_EQ(First->lblInfo->isHidden(), C.NextEnabled);
    if (!C.NextEnabled) {
      EXPECT_EQ(First->lblInfo->text(),
                QStringLiteral("Внимание! Установленная версия драйвера ФР меньше минимальной\nДля "
                               "корректной работы необходима версия не ниже 4.13.0.594"));
    }
    EXPECT_TRUE(Driver()->OFDExchangeSuspended());
    FMain.reset();
  }
}

TEST_F(WizardTest, NoDriverInstalled) {
  RegisterDriverFactory({});
  TfmMain& Main = Open();
  auto* First = dynamic_cast<TfmConnectDevice*>(Page("TfmConnectDevice"));
  EXPECT_FALSE(Main.btnNext->isEnabled());
  EXPECT_FALSE(Main.btnMenu->isEnabled());
  EXPECT_FALSE(First->lblInfo->isHidden());
  EXPECT_EQ(First->lblInfo->text(),
            QStringLiteral("Внимание! Не установлен драйвер ФР\nДля корректной работы установите "
                           "драйвер версии не ниже 4.13.0.594 и перезапустите приложение"));
  EXPECT_EQ(Main.pnlTop->text(), QStringLiteral("Подключите устройство"));
  EXPECT_EQ(Controller().Driver, nullptr);
}

TEST_F(WizardTest, WorkTypeItemsByModelParameter73) {
  for (int Param : {0, 1, 3}) {
    ResetController();
    InstallDriver({{4, 15, 0, 600}, Param});
    TfmMain& Main = Open();
    Controller().KKTName = QStringLiteral("ШТРИХ-М-01Ф");
    Controller().KKTSN = QStringLiteral("0001");
    Controller().RegParams.INN = QStringLiteral("7700000000");
    Main.ShowPage(Main.Pages().IndexByClass(QStringLiteral("TfmSelectWorkType")));
    auto* W = dynamic_cast<TfmSelectWorkType*>(Page("TfmSelectWorkType"));
    EXPECT_EQ(W->lbWorkType->count(), Param > 0 ? 6 : 5) << Param;
    EXPECT_EQ(Controller().RegParams.OFDEnabled, Param > 0);
    EXPECT_EQ(W->lbWorkType->currentRow(), 0);
    EXPECT_EQ(W->lblDevice->text(), QStringLiteral("ШТРИХ-М-01Ф, зав. номер 0001"));
    EXPECT_TRUE(Controller().RegParams.INN.isEmpty());
    EXPECT_THAT(Driver()->MethodNames(),
                ::testing::ElementsAre("ReadModelParamValue", "Disconnect"));
    EXPECT_EQ(Driver()->Calls()[0].Setting(TPropertyId::ModelParamNumber).toInt(), 73);
    FMain.reset();
  }
}

TEST_F(WizardTest, WorkTypeReadFailureIsShownAndDisconnects) {
  InstallDriver({});
  TfmMain& Main = Open();
  Driver()->Script(TMethodId::ReadModelParamValue, TAnswer(-1, {}, QStringLiteral("Нет связи")));
  const int Index = Main.Pages().IndexByClass(QStringLiteral("TfmSelectWorkType"));
  Main.ShowPage(Index);
  EXPECT_EQ(Main.PageIndex(), Index);  // the switch is complete
  EXPECT_EQ(Main.pnlTop->text(), QStringLiteral("Выберите тип работы"));
  EXPECT_EQ(FDialogs.Errors, QStringList{QStringLiteral("Ошибка -1, Нет связи")});
  EXPECT_THAT(Driver()->MethodNames(), ::testing::ElementsAre("ReadModelParamValue", "Disconnect"));
}

TEST_F(WizardTest, ForwardBackAndHome) {
  InstallDriver({});
  TfmMain& Main = Open(true);
  TParamPage* First = Page("TfmConnectDevice");
  Main.Next();  // the first page leads to the port type
  EXPECT_EQ(Controller().CurrentPage, FPortType);
  EXPECT_EQ(FPortType->PrevPage, First);
  EXPECT_TRUE(Main.btnPrev->isEnabled());
  Main.Next();  // to the work type
  TParamPage* Work = Page("TfmSelectWorkType");
  EXPECT_EQ(Controller().CurrentPage, Work);
  EXPECT_EQ(Work->PrevPage, First);  // set by its own on-show code
  Main.Prev();
  EXPECT_EQ(Controller().CurrentPage, First);
  EXPECT_EQ(Main.PageIndex(), 0);
  EXPECT_FALSE(Main.btnPrev->isEnabled());

  Main.Next();
  Main.Next();
  Controller().NextPageClass = QStringLiteral("TfmCalculationStateReport");
  Main.Home();
  EXPECT_EQ(Main.PageIndex(), 0);
  EXPECT_EQ(Controller().CurrentPage, First);
  EXPECT_EQ(Controller().NextPageClass, QStringLiteral("TfmSelectWorkType"));
  EXPECT_TRUE(FDialogs.Errors.isEmpty());
}

TEST_F(WizardTest, RefusedNextShowsTheErrorAndStays) {
  InstallDriver({});
  TfmMain& Main = Open(true);
  Main.Next();
  FPortType->Mode = TfmSelectPortType::TMode::Refuse;
  Main.Next();
  EXPECT_EQ(Controller().CurrentPage, FPortType);
  EXPECT_EQ(FDialogs.Errors, QStringList{QStringLiteral("Выберите порт")});
}

TEST_F(WizardTest, NextThatStaysKeepsTheWayBack) {
  InstallDriver({});
  TfmMain& Main = Open(true);
  Main.Next();
  FPortType->Mode = TfmSelectPortType::TMode::Stay;
  Main.Next();  // NextPageClass still names this page's class
  EXPECT_EQ(Controller().CurrentPage, FPortType);
  EXPECT_EQ(FPortType->PrevPage, Page("TfmConnectDevice"));
  Main.Prev();
  EXPECT_EQ(Main.PageIndex(), 0);
}

TEST_F(WizardTest, FailedOnShowCodeCompletesTheSwitch) {
  InstallDriver({});
  TfmMain& Main = Open(true);
  const int Index = Main.Pages().IndexByClass(QStringLiteral("TfmSearchDevice"));
  Main.ShowPage(Index);
  EXPECT_EQ(Main.PageIndex(), Index);
  EXPECT_EQ(Main.pnlTop->text(), QStringLiteral("Поиск устройств"));
  EXPECT_FALSE(Main.btnNext->isEnabled());
  EXPECT_TRUE(Main.btnPrev->isEnabled());
  EXPECT_FALSE(Page("TfmSearchDevice")->isHidden());
  EXPECT_TRUE(Page("TfmConnectDevice")->isHidden());
  EXPECT_EQ(FDialogs.Errors, QStringList{QStringLiteral("Ошибка -1, Нет связи")});
}

TEST_F(WizardTest, PagesInTheFixedOrderAndSettingsDisconnectsFirst) {
  InstallDriver({});
  TfmMain& Main = Open();
  QStringList Order;
  for (int I = 0; I < Main.Pages().GetCount(); ++I)
    Order << QString::fromLatin1(Main.Pages().GetItem(I)->metaObject()->className());
  EXPECT_EQ(Order.join(' '), "TfmConnectDevice TfmSelectWorkType TfmCheckRNDIS TfmCheckEthernet");
  Driver()->ForgetCalls();
  Main.btnMenu->click();
  EXPECT_THAT(Driver()->MethodNames(), ::testing::ElementsAre("Disconnect", "ShowProperties"));
}

}  // namespace

#include "WizardTest.moc"
