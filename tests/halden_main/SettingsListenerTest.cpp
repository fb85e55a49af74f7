// The settings apply against the real TCP dispatcher over loopback: an apply
// that changes nothing keeps the listener and its connections, a refused
// change keeps everything, and a port already in use switches TCP off for
// this run only.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTreeWidget>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BusyPort.h"
#include "halden/main/Dialogs.h"
#include "halden/main/TcpListener.h"
#include "halden/main/fmuMain.h"
#include "halden/server/JsonRpcClient.h"
#include "halden/server/Settings.h"
#include "support/PtyDevice.h"
#include "support/TempDir.h"

namespace {

bool WaitFor(const std::function<bool()>& Condition, int LimitMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!Condition()) {
    if (clock.elapsed() > LimitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// A client on a thread of its own (the calls run on the main thread, which
// the test keeps pumping): creates an object and connects it.
class TClientThread {
 public:
  explicit TClientThread(int Port) {
    FThread = std::thread([this, Port] {
      try {
        TJsonRpcClient rpc("127.0.0.1", Port);
        rpc.SetTimeout(20000);
        const int object = rpc.Call("Create").value("object").toInt();
        rpc.Call("Connect", {{"object", object},
                             {"AAppPID", 4120},
                             {"AAppName", "cash.exe"},
                             {"ACompName", "POS1"}});
        FReady = true;
        while (!FStop) {
          if (FPing) {
            rpc.Call("UnlockPort", {{"object", object}});
            FPing = false;
            ++FPings;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      } catch (const std::exception&) {
        FDropped = true;
      }
      FEnded = true;
    });
    EXPECT_TRUE(WaitFor([&] { return FReady || FDropped; }));
  }
  ~TClientThread() {
    FStop = true;
    WaitFor([&] { return FEnded.load(); });
    FThread.join();
  }
  // One call through the connection; false when it is gone.
  bool Ping() {
    const int before = FPings;
    FPing = true;
    return WaitFor([&] { return FPings > before || FDropped; }) && !FDropped;
  }

 private:
  std::thread FThread;
  std::atomic<bool> FReady{false}, FStop{false}, FEnded{false}, FDropped{false}, FPing{false};
  std::atomic<int> FPings{0};
};

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class SettingsListener : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return FDir.path() / "Tessel.conf"; }

  TempDir FDir;
  TSettingsStore FStore{File().string()};
  std::vector<std::string> FQuestions;
  bool FAnswer = false;
  THaldenListener FListener{[this](const std::string& Question) {
    FQuestions.push_back(Question);
    return FAnswer;
  }};
};

TSettingsForm TcpForm(int Port) {
  TSettingsForm form = FormOf(THaldenSettings{});
  form.TCPEnabled = true;
  form.TCPPort = std::to_string(Port);
  return form;
}

}  // namespace

TEST_F(SettingsListener, AnApplyThatChangesNothingKeepsTheListenerAndItsConnections) {
  TSettingsApplier applier(FStore, FListener, nullptr);
  const int port = FreePort();
  ASSERT_EQ(applier.Apply(TcpForm(port)).Status, TApplyResult::Applied);
  ASSERT_EQ(FListener.Server().LocalPort(), port);
  TClientThread client(port);
  ASSERT_TRUE(client.Ping());

  TSettingsForm same = TcpForm(port);
  same.AutoPortClose = true;  // nothing about TCP
  const TApplyResult r = applier.Apply(same);
  EXPECT_EQ(r.Status, TApplyResult::Applied);
  EXPECT_TRUE(r.Error.empty()) << r.Error;
  EXPECT_TRUE(FQuestions.empty());
  EXPECT_EQ(FListener.Server().ActiveConnections(), 1);
  EXPECT_TRUE(client.Ping());
}

TEST_F(SettingsListener, ChangingThePortWithClientsConnectedAndAnsweringNoKeepsEverything) {
  TSettingsApplier applier(FStore, FListener, nullptr);
  const int port = FreePort();
  ASSERT_EQ(applier.Apply(TcpForm(port)).Status, TApplyResult::Applied);
  const THaldenSettings before = applier.Settings();
  const std::string file = ReadFile(File());
  TClientThread client(port);
  ASSERT_TRUE(client.Ping());

  FAnswer = false;
  TSettingsForm moved = TcpForm(FreePort());
  moved.CloseTimeoutSeconds = 3;
  EXPECT_EQ(applier.Apply(moved).Status, TApplyResult::Refused);
  EXPECT_EQ(FQuestions.size(), 1u);
  EXPECT_EQ(applier.Settings(), before);
  EXPECT_EQ(ReadFile(File()), file);
  EXPECT_EQ(FListener.Server().LocalPort(), port);
  EXPECT_TRUE(client.Ping());

  // Yes moves the listener; the client is disconnected.
  FAnswer = true;
  EXPECT_EQ(applier.Apply(moved).Status, TApplyResult::Applied);
  EXPECT_EQ(FQuestions.size(), 2u);
  EXPECT_EQ(std::to_string(FListener.Server().LocalPort()), moved.TCPPort);
  EXPECT_FALSE(client.Ping());
}

TEST_F(SettingsListener, APortInUseSwitchesTcpOffForThisRunAndTheWindowShowsIt) {
  class TRecordingDialogs : public IDialogs {
   public:
    void ShowError(const std::string&, const std::string& Text) override { Errors.push_back(Text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowAbout(const std::string&, const std::string&) override {}
    std::vector<std::string> Errors;
  } dialogs;
  std::optional<TBusyPort> busyPort;
  busyPort.emplace();
  TBusyPort& busy = *busyPort;
  TfmMain window(dialogs, FListener, FStore, BehaviourFor(true, false));
  const std::string port = std::to_string(busy.Port());
  const TApplyResult r = window.Start(ReadStartSettings({"/t" + port}, FStore));
  EXPECT_TRUE(r.TCPFailed);
  EXPECT_FALSE(FListener.Server().Active());
  ASSERT_EQ(dialogs.Errors.size(), 1u);
  EXPECT_NE(dialogs.Errors[0].find(port), std::string::npos) << dialogs.Errors[0];
  EXPECT_FALSE(window.chbTCPEnabled->isChecked());
  EXPECT_FALSE(window.Settings().Settings().TCPEnabled);
  // The stored choice stays: the next start tries the port again.
  EXPECT_TRUE(FStore.Read().Settings.TCPEnabled);
  EXPECT_EQ(std::to_string(FStore.Read().Settings.TCPPort), port);

  // Once the port is free, checking the box again starts the listener.
  busyPort.reset();
  window.chbTCPEnabled->setChecked(true);
  EXPECT_TRUE(window.Apply());
  EXPECT_TRUE(FListener.Server().Active());
  EXPECT_EQ(std::to_string(FListener.Server().LocalPort()), port);
  EXPECT_EQ(dialogs.Errors.size(), 1u);
}
