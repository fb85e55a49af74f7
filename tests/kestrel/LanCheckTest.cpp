// The network link check: the task against the recording driver (shared and
// private instances), and the link-check page in the window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include "driver/DriverFactory.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/Dialogs.h"
#include "kestrel/framework/WorkThread.h"
#include "kestrel/framework/fmuCheckLAN.h"
#include "kestrel/framework/fmuMain.h"
#include "tests/support/RecordingDriver.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using TAnswer = TRecordingDriver::TAnswer;

namespace {

bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs = 30000) {
  QElapsedTimer Timer;
  Timer.start();
  while (!Condition()) {
    if (Timer.elapsed() > TimeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
  return true;
}

// The private instance keeps its calls where the test sees them after the
// task destroyed it.
class TLoggedDriver : public TRecordingDriver {
 public:
  explicit TLoggedDriver(std::shared_ptr<std::vector<std::string>> Log) : FLog(std::move(Log)) {}
  ~TLoggedDriver() override { *FLog = Transcript(); }

 private:
  std::shared_ptr<std::vector<std::string>> FLog;
};

TAnswer Value(qint64 V) {
  return TAnswer(0, {{TPropertyId::ValueOfFieldInteger, V}});
}

class LanCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetController();
    auto Shared = std::make_unique<TRecordingDriver>();
    FShared = Shared.get();
    FShared->Preset(TPropertyId::Password, 30);
    FShared->Preset(TPropertyId::SysAdminPassword, 4321);
    Controller().Driver = std::move(Shared);
    FTask.SetDriverFactory([this] {
      auto D = std::make_unique<TLoggedDriver>(FPrivateLog);
      D->Script(TMethodId::GetECRStatus, FStatusAnswer);
      return D;
    });
    FTask.SetOnCompleted([this](TWorkThread&) { ++FCompletions; });
  }
  void TearDown() override {
    FTask.Stop();
    ResetController();
  }

  // A KKT with a static address 192.168.1.50 and TCP port 7778.
  void ScriptStatic() {
    for (qint64 V : {1, 192, 168, 1, 50, 7778}) FShared->Script(TMethodId::ReadTable, Value(V));
  }

  void RunToEnd() {
    FTask.Execute();
    ASSERT_TRUE(WaitFor([this] { return !FTask.GetStarted(); }));
  }

  TRecordingDriver* FShared = nullptr;
  TCheckLANWorkTask FTask;
  TAnswer FStatusAnswer{0};
  std::shared_ptr<std::vector<std::string>> FPrivateLog =
      std::make_shared<std::vector<std::string>>();
  int FCompletions = 0;
};

TEST_F(LanCheckTest, StaticAddressConnectsWithTheSharedPasswords) {
  ScriptStatic();
  RunToEnd();
  TTaskState& S = FTask.GetState();
  EXPECT_TRUE(S.Succeeded());
  EXPECT_EQ(S.GetText(),
            QStringLiteral("Связь успешно установлена: 192.168.1.50:7778\nНажмите \"Далее\""));
  EXPECT_EQ(S.GetPercents(), 100);
  EXPECT_EQ(FCompletions, 1);
  EXPECT_THAT(FShared->MethodNames(),
              ElementsAre("ReadTable", "ReadTable", "ReadTable", "ReadTable", "ReadTable",
                          "ReadTable", "Disconnect"));
  EXPECT_EQ(FShared->Calls()[5].ToString(),
            "ReadTable(TableNumber=21, RowNumber=1, FieldNumber=4)");
  EXPECT_THAT(
      *FPrivateLog,
      ElementsAre("GetECRStatus(Password=30, SysAdminPassword=4321, ConnectionType=6, "
                  "ComputerName=\"192.168.1.50\", TCPPort=7778, TCPConnectionTimeout=10000)",
                  "Disconnect()"));
}

TEST_F(LanCheckTest, RefusedConnectionFailsWithTheDriversText) {
  ScriptStatic();
  FStatusAnswer = TAnswer(-1, {}, QStringLiteral("Нет связи"));
  RunToEnd();
  TTaskState& S = FTask.GetState();
  EXPECT_FALSE(S.Succeeded());
  EXPECT_TRUE(S.Completed());
  EXPECT_EQ(S.GetText(), QStringLiteral("Ошибка подключения к : 192.168.1.50:7778, Нет связи \n"
                                        "Проверьте настройки сети"));
  EXPECT_THAT(*FPrivateLog, Contains("Disconnect()"));
}

TEST_F(LanCheckTest, DhcpStuckFailsAfterSixtySeconds) {
  qint64 Now = 0;
  FTask.SetTickSource([&Now] { return Now += 1000; });
  FTask.SetSleep([](int) {});
  FShared->Script(TMethodId::ReadTable, Value(0));
  FShared->ScriptDefault(TMethodId::ReadTable, Value(3));
  RunToEnd();
  EXPECT_EQ(FTask.GetState().GetText(), QStringLiteral("Не удается получить IP по DHCP 3"));
  EXPECT_FALSE(FTask.GetState().Succeeded());
  EXPECT_EQ(FShared->MethodNames().back(), "Disconnect");
  EXPECT_TRUE(FPrivateLog->empty());  // no private instance
  const auto Calls = FShared->Calls();
  EXPECT_GT(Calls.size(), 50u);
  EXPECT_LT(Calls.size(), 70u);
}

TEST_F(LanCheckTest, DhcpReadyReadsTheAddress) {
  FShared->Script(TMethodId::ReadTable, Value(0));
  FShared->Script(TMethodId::ReadTable, Value(3));
  FShared->Script(TMethodId::ReadTable, Value(10));
  for (qint64 V : {10, 0, 0, 7, 7778}) FShared->Script(TMethodId::ReadTable, Value(V));
  FTask.SetSleep([](int) {});
  RunToEnd();
  EXPECT_EQ(FTask.GetState().GetText(),
            QStringLiteral("Связь успешно установлена: 10.0.0.7:7778\nНажмите \"Далее\""));
}

TEST_F(LanCheckTest, RndisUsesTheWrittenAddress) {
  Controller().IsRNDIS = true;
  Controller().IP = QStringLiteral("192.168.137.111");
  Controller().TCPPort = 7778;
  RunToEnd();
  EXPECT_TRUE(FTask.GetState().Succeeded());
  EXPECT_THAT(FShared->MethodNames(), ElementsAre("Disconnect"));
  EXPECT_THAT(*FPrivateLog, Contains(::testing::HasSubstr("ComputerName=\"192.168.137.111\"")));
}

TEST_F(LanCheckTest, StopDuringTheDhcpWaitEndsUnsuccessfully) {
  FShared->Script(TMethodId::ReadTable, Value(0));
  FShared->ScriptDefault(TMethodId::ReadTable, Value(3));
  FTask.Execute();
  ASSERT_TRUE(WaitFor([this] {
    return FTask.GetState().GetText() == QStringLiteral("Ожидание получения IP адреса...");
  }));
  FTask.Stop();  // waits for the body
  TTaskState& S = FTask.GetState();
  EXPECT_FALSE(S.Succeeded());
  EXPECT_TRUE(S.Completed());
  EXPECT_EQ(S.GetText(), QStringLiteral("Операция отменена"));
  ASSERT_TRUE(WaitFor([this] { return FCompletions == 1; }));
  EXPECT_FALSE(FTask.GetStarted());
  EXPECT_EQ(FShared->MethodNames().back(), "Disconnect");
}

TEST_F(LanCheckTest, StopOfAnIdleTaskDoesNothing) {
  FTask.Stop();
  EXPECT_EQ(FTask.GetState().GetText(), QString());
  EXPECT_EQ(FCompletions, 0);
}

class TTestDialogs : public IDialogs {
 public:
  void ShowError(QWidget*, const QString& Message) override { Errors << Message; }
  void ShowMessage(QWidget*, const QString&) override {}
  bool Confirm(QWidget*, const QString&) override { return true; }
  QStringList Errors;
};

class LanPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetController();
    SetDialogs(&FDialogs);
    RegisterFrameworkPages();
    RegisterDriverFactory([] {
      auto D = std::make_unique<TRecordingDriver>();
      D->Preset(TPropertyId::DriverMajorVersion, 4);
      D->Preset(TPropertyId::DriverMinorVersion, 15);
      return D;
    });
    FMain = std::make_unique<TfmMain>(QStringLiteral("/nonexistent"));
    FMain->RegisterPages();
    FMain->show();
    FMain->Start();
    FShared = dynamic_cast<TRecordingDriver*>(Controller().Driver.get());
    FPage = dynamic_cast<TfmCheckLAN*>(FMain->FindPageByClass(QStringLiteral("TfmCheckEthernet")));
    FPage->Task().SetDriverFactory([] { return std::make_unique<TRecordingDriver>(); });
  }
  void TearDown() override {
    FMain.reset();
    RegisterDriverFactory({});
    SetDialogs(nullptr);
    ResetController();
  }

  TTestDialogs FDialogs;
  std::unique_ptr<TfmMain> FMain;
  TRecordingDriver* FShared = nullptr;
  TfmCheckLAN* FPage = nullptr;
};

TEST_F(LanPageTest, NavigationAndSettingsStayOffWhileTheCheckRuns) {
  FShared->Script(TMethodId::ReadTable, Value(0));
  FShared->ScriptDefault(TMethodId::ReadTable, Value(3));  // the DHCP wait goes on
  FMain->ShowPage(FMain->Pages().IndexOf(FPage));
  EXPECT_EQ(FMain->pnlTop->text(), QStringLiteral("Проверка связи по Ethernet"));
  EXPECT_FALSE(FMain->btnPrev->isEnabled());
  EXPECT_FALSE(FMain->btnNext->isEnabled());
  EXPECT_FALSE(FMain->btnHome->isEnabled());
  EXPECT_FALSE(FMain->btnMenu->isEnabled());
  EXPECT_TRUE(FPage->btnStop->isEnabled());
  ASSERT_TRUE(WaitFor([this] {
    return FPage->lblStatus->text() == QStringLiteral("Ожидание получения IP адреса...");
  }));
  FPage->btnStop->click();
  ASSERT_TRUE(WaitFor([this] { return FMain->btnNext->isEnabled(); }));
  EXPECT_TRUE(FMain->btnPrev->isEnabled());
  EXPECT_TRUE(FMain->btnHome->isEnabled());
  EXPECT_TRUE(FMain->btnMenu->isEnabled());
  EXPECT_TRUE(FPage->btnRepeat->isEnabled());
  EXPECT_FALSE(FPage->btnStop->isEnabled());
  EXPECT_EQ(FPage->lblStatus->text(), QStringLiteral("Операция отменена"));
}

TEST_F(LanPageTest, SuccessTextAndNextAfterTheCheck) {
  for (qint64 V : {1, 10, 0, 0, 9, 7778}) FShared->Script(TMethodId::ReadTable, Value(V));
  FMain->ShowPage(FMain->Pages().IndexOf(FPage));
  ASSERT_TRUE(WaitFor([this] { return FMain->btnNext->isEnabled(); }));
  EXPECT_EQ(FPage->lblStatus->text(),
            QStringLiteral("Связь успешно установлена: 10.0.0.9:7778\nНажмите \"Далее\""));
  Controller().CurrentPage = FPage;
  FMain->Next();
  EXPECT_EQ(Controller().NextPageClass, QStringLiteral("TfmOFDExchangeState"));
}

TEST_F(LanPageTest, ClosingTheWindowStopsTheCheckBeforeTheDriverGoes) {
  FShared->Script(TMethodId::ReadTable, Value(0));
  FShared->ScriptDefault(TMethodId::ReadTable, Value(3));
  FMain->ShowPage(FMain->Pages().IndexOf(FPage));
  ASSERT_TRUE(WaitFor([this] {
    return FPage->Task().GetState().GetText() == QStringLiteral("Ожидание получения IP адреса...");
  }));
  FMain->close();
  EXPECT_TRUE(FPage->Task().GetState().Completed());
  EXPECT_FALSE(FPage->Task().GetState().Succeeded());
  FMain.reset();  // the pages go before the shared driver; nothing runs any more
  EXPECT_EQ(Controller().Driver, nullptr);
}

}  // namespace
