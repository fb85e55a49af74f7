// Halden's main window offscreen: the settings page, the port and client
// lists over real server objects on a pseudo-terminal, the Unlock button,
// the apply rules as the window shows them, and closing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Version.h"
#include "halden/main/Dialogs.h"
#include "halden/main/MainView.h"
#include "halden/main/fmuMain.h"
#include "halden/server/Halden.h"
#include "halden/server/Settings.h"
#include "support/PtyDevice.h"
#include "support/TempDir.h"

namespace {

// Processes events until Condition holds; the limit is generous, a busy
// machine only makes the wait longer.
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

class TScriptedDialogs : public IDialogs {
 public:
  void ShowError(const std::string& Title, const std::string& Text) override {
    Errors.push_back(Title + ": " + Text);
  }
  bool AskYesNo(const std::string&, const std::string& Text) override {
    Questions.push_back(Text);
    return Answer;
  }
  void ShowAbout(const std::string& Title, const std::string& Version) override {
    Abouts.push_back(Title + " " + Version);
  }
  std::vector<std::string> Errors, Questions, Abouts;
  bool Answer = false;
};

class TScriptedListener : public ITCPListener {
 public:
  bool Update(bool Enabled, int Port) override {
    Calls.emplace_back(Enabled, Port);
    if (Enabled && Port == FailPort) throw std::runtime_error("Address already in use");
    if (Refuse) return false;
    return true;
  }
  std::vector<std::pair<bool, int>> Calls;
  int FailPort = -1;
  bool Refuse = false;
};

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Text(QTreeWidgetItem* Item, int Column) {
  return Item ? Item->text(Column).toStdString() : std::string("<no row>");
}

// A window on settings of its own, without a tray.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) FOld = old;
    setenv("XDG_CONFIG_HOME", FDir.path().c_str(), 1);
  }
  ~MainWindowTest() override {
    FWindow.reset();
    // Nothing of the test reached the user's own settings.
    EXPECT_EQ(FStore.FileName(), TSettingsStore().FileName());
    if (FOld) {
      setenv("XDG_CONFIG_HOME", FOld->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }

  TfmMain& Open(const std::vector<std::string>& Args = {},
                TWindowBehaviour Behaviour = BehaviourFor(true, false)) {
    FWindow = std::make_unique<TfmMain>(FDialogs, FListener, FStore, Behaviour);
    FWindow->Start(ReadStartSettings(Args, FStore));
    return *FWindow;
  }
  std::filesystem::path File() const { return FDir.path() / "Varkon" / "Tessel.conf"; }

  TempDir FDir;
  std::optional<std::string> FOld;
  TScriptedDialogs FDialogs;
  TScriptedListener FListener;
  TSettingsStore FStore{(FDir.path() / "Varkon" / "Tessel.conf").string()};
  std::unique_ptr<TfmMain> FWindow;
};

}  // namespace

TEST(MainView, CaptionAndVersionLine) {
  const std::string bits = " (" + std::to_string(sizeof(void*) * 8) + "-bit)";
  EXPECT_EQ(MainCaption(), std::string("Halden ") + VARKON_FILE_VERSION + bits);
  EXPECT_EQ(VersionLine(), std::string("Версия: ") + VARKON_FILE_VERSION + bits);
}

TEST(MainView, BehaviourWithAndWithoutTrayAndDisplay) {
  const TWindowBehaviour tray = BehaviourFor(true, true);
  EXPECT_TRUE(tray.Tray && tray.HideOnMinimise && tray.HideOnOkCancel);
  EXPECT_FALSE(tray.ShowAtStart || tray.Headless);
  const TWindowBehaviour noTray = BehaviourFor(true, false);
  EXPECT_TRUE(noTray.ShowAtStart);
  EXPECT_FALSE(noTray.Tray || noTray.HideOnMinimise || noTray.HideOnOkCancel || noTray.Headless);
  for (bool trayAvailable : {false, true}) {
    const TWindowBehaviour headless = BehaviourFor(false, trayAvailable);
    EXPECT_TRUE(headless.Headless);
    EXPECT_FALSE(headless.Tray || headless.ShowAtStart);
  }
}

TEST_F(MainWindowTest, NoArgumentsAndNoFileShowTheDefaultsAndStoreThem) {
  TfmMain& w = Open();
  EXPECT_TRUE(w.isVisible());  // no tray: the window is the way in
  EXPECT_EQ(w.windowTitle().toStdString(), MainCaption());
  EXPECT_EQ(w.seTimeout->value(), 10);
  EXPECT_EQ(w.seTimeout->maximum(), 32767);
  EXPECT_FALSE(w.chbAutoPortClose->isChecked());
  EXPECT_FALSE(w.chbAutoRecCancel->isEnabled());
  EXPECT_FALSE(w.chbTCPEnabled->isChecked());
  EXPECT_EQ(w.edtTCPPort->text().toStdString(), "211");
  EXPECT_FALSE(w.edtTCPPort->isEnabled());
  EXPECT_FALSE(w.btnApply->isEnabled());
  EXPECT_TRUE(w.lblSettingsProblem->isHidden());
  EXPECT_EQ(FStore.Read().Settings, THaldenSettings{});
  EXPECT_EQ(FListener.Calls, (std::vector<std::pair<bool, int>>{{false, 211}}));
  EXPECT_TRUE(FDialogs.Errors.empty());
}

TEST_F(MainWindowTest, ControlsFollowTheirCheckBoxesAndAnyChangeEnablesApply) {
  TfmMain& w = Open();
  w.chbAutoPortClose->setChecked(true);
  EXPECT_TRUE(w.chbAutoRecCancel->isEnabled());
  EXPECT_TRUE(w.btnApply->isEnabled());
  w.chbTCPEnabled->setChecked(true);
  EXPECT_TRUE(w.edtTCPPort->isEnabled());
  EXPECT_TRUE(w.lblTCPPort->isEnabled());
  w.edtTCPPort->setText("2002");
  w.seTimeout->setValue(25);
  EXPECT_TRUE(w.Apply());
  EXPECT_FALSE(w.btnApply->isEnabled());
  THaldenSettings wanted;
  wanted.TCPPort = 2002;
  wanted.TCPEnabled = true;
  wanted.AutoPortClose = true;
  wanted.CloseTimeout = 25000;
  EXPECT_EQ(FStore.Read().Settings, wanted);
  EXPECT_EQ(w.Settings().Settings(), wanted);
  w.chbAutoPortClose->setChecked(false);
  EXPECT_FALSE(w.chbAutoRecCancel->isEnabled());
}

TEST_F(MainWindowTest, SwitchesAreShownAndStored) {
  TfmMain& w = Open({"/a", "/p20"});
  EXPECT_EQ(w.seTimeout->value(), 20);
  EXPECT_TRUE(w.chbAutoPortClose->isChecked());
  EXPECT_TRUE(w.chbAutoRecCancel->isEnabled());
  EXPECT_FALSE(w.chbAutoRecCancel->isChecked());
  THaldenSettings wanted;
  wanted.AutoPortClose = true;
  wanted.CloseTimeout = 20000;
  EXPECT_EQ(FStore.Read().Settings, wanted);
}

TEST_F(MainWindowTest, OutOfRangeSwitchIsShownOnTheSettingsPage) {
  TfmMain& w = Open({"/t70000"});
  EXPECT_FALSE(w.lblSettingsProblem->isHidden());
  EXPECT_NE(w.lblSettingsProblem->text().toStdString().find("/t70000"), std::string::npos);
  EXPECT_EQ(w.edtTCPPort->text().toStdString(), "211");
}

TEST_F(MainWindowTest, ADamagedFileIsShownAndLeftUntouched) {
  std::filesystem::create_directories(File().parent_path());
  const std::string text = "[A4]\nParams\\CloseTimeout=soon\nParams\\AutoPortClose=true\n";
  std::ofstream(File(), std::ios::binary) << text;
  TfmMain& w = Open();
  EXPECT_FALSE(w.lblSettingsProblem->isHidden());
  EXPECT_NE(w.lblSettingsProblem->text().toStdString().find("CloseTimeout=soon"),
            std::string::npos);
  EXPECT_TRUE(w.chbAutoPortClose->isChecked());
  EXPECT_EQ(w.seTimeout->value(), 10);
  EXPECT_EQ(ReadFile(File()), text);
}

TEST_F(MainWindowTest, ANonNumberInThePortFieldStopsTheApply) {
  TfmMain& w = Open();
  w.chbTCPEnabled->setChecked(true);
  w.edtTCPPort->setText("");
  w.chbAutoPortClose->setChecked(true);
  EXPECT_FALSE(w.Apply());
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_TRUE(w.btnApply->isEnabled());
  EXPECT_FALSE(w.Settings().Settings().AutoPortClose);
  EXPECT_FALSE(FStore.Read().Settings.AutoPortClose);
}

TEST_F(MainWindowTest, AFailedListenerStartClearsTheBoxAndShowsTheError) {
  FListener.FailPort = 2002;
  TfmMain& w = Open({"/t2002"});
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_NE(FDialogs.Errors[0].find("Address already in use"), std::string::npos);
  EXPECT_FALSE(w.chbTCPEnabled->isChecked());
  EXPECT_FALSE(w.edtTCPPort->isEnabled());
  EXPECT_FALSE(w.Settings().Settings().TCPEnabled);
  // The stored choice stays for the next start.
  EXPECT_TRUE(FStore.Read().Settings.TCPEnabled);
  EXPECT_EQ(FStore.Read().Settings.TCPPort, 2002);
}

TEST_F(MainWindowTest, RefusingToDisconnectClientsShowsTheOldSettingsAgain) {
  TfmMain& w = Open({"/t2002"});
  FListener.Refuse = true;
  w.edtTCPPort->setText("2003");
  w.seTimeout->setValue(5);
  w.Apply();
  EXPECT_EQ(w.edtTCPPort->text().toStdString(), "2002");
  EXPECT_EQ(w.seTimeout->value(), 10);
  EXPECT_EQ(FStore.Read().Settings.TCPPort, 2002);
}

TEST_F(MainWindowTest, OkAndCancelHideOnlyWithATray) {
  TfmMain& w = Open();
  w.btnOK->click();
  EXPECT_TRUE(w.isVisible());
  w.btnCancel->click();
  EXPECT_TRUE(w.isVisible());

  TWindowBehaviour tray = BehaviourFor(true, true);
  tray.Tray = false;  // the hiding alone; offscreen has no tray to put an icon in
  TfmMain& t = Open({}, tray);
  EXPECT_FALSE(t.isVisible());
  t.ShowProperties();
  EXPECT_TRUE(t.isVisible());
  t.chbAutoPortClose->setChecked(true);
  t.btnCancel->click();
  EXPECT_FALSE(t.isVisible());
  t.ShowProperties();
  EXPECT_FALSE(t.chbAutoPortClose->isChecked());  // reloaded from the settings
  t.chbAutoPortClose->setChecked(true);
  t.btnOK->click();
  EXPECT_FALSE(t.isVisible());
  EXPECT_TRUE(t.Settings().Settings().AutoPortClose);
}

TEST_F(MainWindowTest, TheAboutBoxGetsTheTitleAndTheVersion) {
  TfmMain& w = Open();
  w.ShowAbout();
  EXPECT_EQ(FDialogs.Abouts, (std::vector<std::string>{"Halden " + VersionLine()}));
}

TEST_F(MainWindowTest, PortRowsFollowTheClientsAndTheUnlockButtonTheSelection) {
  TPtyDevice dev(3);
  TfmMain& w = Open();
  auto holder = std::make_unique<THalden>();
  holder->Connect(4120, "cash.exe", "POS1");
  ASSERT_EQ(holder->OpenPort(3, 6, 100), 0) << holder->ResultDescription();
  ASSERT_TRUE(WaitFor([&] { return w.lvPorts->topLevelItemCount() == 1; }));
  QTreeWidgetItem* row = w.lvPorts->topLevelItem(0);
  EXPECT_EQ(Text(row, 0), "COM 3");
  EXPECT_EQ(Text(row, 1), "свободен");
  EXPECT_EQ(Text(row, 2), "");

  w.lvPorts->setCurrentItem(row);
  EXPECT_FALSE(w.btnUnlock->isEnabled());
  ASSERT_EQ(holder->LockPort(3), 0);
  ASSERT_TRUE(WaitFor([&] { return Text(row, 1) == "занят"; }));
  EXPECT_EQ(Text(row, 2), "POS1");
  EXPECT_EQ(Text(row, 3), "4120");
  EXPECT_EQ(Text(row, 4), "cash.exe");
  EXPECT_TRUE(w.btnUnlock->isEnabled());

  // A second client on the same port shares the row.
  auto other = std::make_unique<THalden>();
  ASSERT_EQ(other->OpenPort(3, 6, 100), 0);
  WaitFor([] { return false; }, 50);
  EXPECT_EQ(w.lvPorts->topLevelItemCount(), 1);

  // The button is the administrator's unlock, whoever holds the port.
  w.btnUnlock->click();
  ASSERT_TRUE(WaitFor([&] { return Text(row, 1) == "свободен"; }));
  EXPECT_FALSE(holder->Port()->Locked());
  EXPECT_FALSE(w.btnUnlock->isEnabled());

  ASSERT_EQ(holder->LockPort(3), 0);
  ASSERT_TRUE(WaitFor([&] { return w.btnUnlock->isEnabled(); }));
  w.lvPorts->clearSelection();
  EXPECT_FALSE(w.btnUnlock->isEnabled());

  holder.reset();
  other.reset();
  EXPECT_TRUE(WaitFor([&] { return w.lvPorts->topLevelItemCount() == 0; }));
}

TEST_F(MainWindowTest, TheClientCountFollowsConnectAndRelease) {
  TfmMain& w = Open();
  auto first = std::make_unique<THalden>();
  auto second = std::make_unique<THalden>();
  EXPECT_EQ(w.edtClientCount->text().toStdString(), "0");
  first->Connect(11, "first.exe", "PC1");
  second->Connect(22, "second.exe", "PC2");
  second->Connect(22, "second.exe", "PC2");  // listed once
  ASSERT_TRUE(WaitFor([&] { return w.edtClientCount->text() == "2"; }));
  ASSERT_EQ(w.lvClients->topLevelItemCount(), 2);
  QTreeWidgetItem* row = w.lvClients->topLevelItem(1);
  EXPECT_EQ(Text(row, 0), "2");
  EXPECT_EQ(Text(row, 1), "PC2");
  EXPECT_EQ(Text(row, 2), "22");
  EXPECT_EQ(Text(row, 3), "second.exe");
  first.reset();
  ASSERT_TRUE(WaitFor([&] { return w.edtClientCount->text() == "1"; }));
  EXPECT_EQ(Text(w.lvClients->topLevelItem(0), 1), "PC2");
  second.reset();
  EXPECT_TRUE(WaitFor([&] { return w.edtClientCount->text() == "0"; }));
}

TEST_F(MainWindowTest, ListsShowWhatExistedBeforeTheWindow) {
  TPtyDevice dev(4);
  THalden client;
  client.Connect(7, "early.exe", "PC0");
  ASSERT_EQ(client.LockPort(4), 0);
  TfmMain& w = Open();
  ASSERT_EQ(w.lvPorts->topLevelItemCount(), 1);
  EXPECT_EQ(Text(w.lvPorts->topLevelItem(0), 1), "занят");
  EXPECT_EQ(w.edtClientCount->text().toStdString(), "1");
  FWindow.reset();
}

TEST_F(MainWindowTest, UncheckingUnlockAtTimeOutDisablesThePortTimersAtTheNextApply) {
  TPtyDevice dev(3);
  TfmMain& w = Open({"/a", "/p20"});
  THalden client;
  ASSERT_EQ(client.OpenPort(3, 6, 100), 0);
  ASSERT_EQ(client.LockPort(3), 0);
  ASSERT_NE(client.Port(), nullptr);
  EXPECT_TRUE(client.Port()->Timer().Enabled());
  EXPECT_EQ(client.Port()->Timer().Interval(), 20000);
  w.chbAutoPortClose->setChecked(false);
  EXPECT_TRUE(client.Port()->Timer().Enabled());  // not before the apply
  ASSERT_TRUE(w.Apply());
  EXPECT_FALSE(client.Port()->Timer().Enabled());
  FWindow.reset();
}

TEST_F(MainWindowTest, ClosingWhileServerObjectsLiveAsksFirst) {
  TfmMain& w = Open();
  {
    THalden client;
    FDialogs.Answer = false;
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(FDialogs.Questions.size(), 1u);
    FDialogs.Answer = true;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(FDialogs.Questions.size(), 2u);
  }
  // Without objects nobody is asked.
  TfmMain& again = Open();
  EXPECT_TRUE(again.close());
  EXPECT_EQ(FDialogs.Questions.size(), 2u);
}

TEST_F(MainWindowTest, TheTrayMenuShowsTheWindowTheAboutBoxAndCloses) {
  TfmMain& w = Open({}, BehaviourFor(true, true));
  EXPECT_FALSE(w.isVisible());  // in the tray
  ASSERT_NE(w.TrayIcon, nullptr);
  EXPECT_EQ(w.TrayIcon->toolTip().toStdString(), "Halden");
  const QList<QAction*> items = w.TrayMenu->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text().toStdString(), "&Закрыть");
  EXPECT_EQ(items[1]->text().toStdString(), "&Свойства");
  EXPECT_EQ(items[2]->text().toStdString(), "О программе...");
  EXPECT_EQ(w.TrayMenu->defaultAction(), items[1]);

  w.chbAutoPortClose->setChecked(true);  // an edit left behind is dropped by "&Свойства"
  items[1]->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.chbAutoPortClose->isChecked());
  items[2]->trigger();
  EXPECT_EQ(FDialogs.Abouts.size(), 1u);

  THalden client;
  FDialogs.Answer = false;
  items[0]->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(FDialogs.Questions.size(), 1u);
}

TEST_F(MainWindowTest, MinimisingHidesIntoTheTrayOnly) {
  TfmMain& w = Open({}, BehaviourFor(true, true));
  w.ShowInFront();
  w.showMinimized();
  EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
  w.ShowInFront();
  EXPECT_TRUE(w.isVisible());

  TfmMain& plain = Open();
  plain.showMinimized();
  WaitFor([] { return false; }, 50);
  EXPECT_TRUE(plain.isVisible());
}

TEST_F(MainWindowTest, APortGoneBeforeItsNoticeArrivesGetsNoRow) {
  TfmMain& w = Open();
  {
    THalden passing;
    passing.Connect(1, "brief.exe", "PC9");
    ASSERT_EQ(passing.LockPort(5), 0);
  }
  THalden staying;
  ASSERT_EQ(staying.LockPort(6), 0);
  ASSERT_TRUE(WaitFor([&] { return w.lvPorts->topLevelItemCount() == 1; }));
  WaitFor([] { return false; }, 50);
  ASSERT_EQ(w.lvPorts->topLevelItemCount(), 1);
  EXPECT_EQ(Text(w.lvPorts->topLevelItem(0), 0), "COM 6");
  EXPECT_EQ(w.edtClientCount->text().toStdString(), "0");
}
