// Halden's settings: the switches, the settings file, and the apply rules
// against a scripted TCP listener.

#include "halden/server/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace {

THaldenSettings Make(int Port, bool Tcp, bool Unlock, bool Cancel, int Timeout) {
  THaldenSettings s;
  s.TCPPort = Port;
  s.TCPEnabled = Tcp;
  s.AutoPortClose = Unlock;
  s.AutoRecCancel = Cancel;
  s.CloseTimeout = Timeout;
  return s;
}

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::filesystem::path& Path, const std::string& Text) {
  std::filesystem::create_directories(Path.parent_path());
  std::ofstream(Path, std::ios::binary) << Text;
}

// XDG_CONFIG_HOME points at a temporary folder for the test's life.
class SettingsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) FOld = old;
    setenv("XDG_CONFIG_HOME", FDir.path().c_str(), 1);
  }
  void TearDown() override {
    if (FOld) {
      setenv("XDG_CONFIG_HOME", FOld->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  std::filesystem::path File() const { return FDir.path() / "Varkon" / "Tessel.conf"; }

  TempDir FDir;
  std::optional<std::string> FOld;
};

// A listener that records what it was asked and answers as scripted.
class TScriptedListener : public ITCPListener {
 public:
  bool Update(bool Enabled, int Port) override {
    Calls.emplace_back(Enabled, Port);
    if (Enabled && Port == FailPort) throw std::runtime_error("Address already in use");
    if (RefuseNext) {
      RefuseNext = false;
      return false;
    }
    return true;
  }
  std::vector<std::pair<bool, int>> Calls;
  bool RefuseNext = false;
  int FailPort = -1;
};

}  // namespace

struct SwitchCase {
  std::vector<std::string> Args;
  THaldenSettings Expected;
  bool Problem;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
  for (const std::string& a : c.Args) *os << a << ' ';
}

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTable, GivesTheSettings) {
  const SwitchCase& c = GetParam();
  const TSwitchSettings s = ParseSwitches(c.Args);
  EXPECT_EQ(s.Settings, c.Expected);
  EXPECT_EQ(!s.Problems.empty(), c.Problem);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTable,
    ::testing::Values(
        // The examples of the program's documentation.
        SwitchCase{{"/a", "/r", "/p30", "/t2002"}, Make(2002, true, true, true, 30000), false},
        SwitchCase{{"/a", "/p20"}, Make(211, false, true, false, 20000), false},
        SwitchCase{{"/t0"}, Make(0, false, false, false, 10000), false},
        // Only the second character counts; letters are lower case.
        SwitchCase{{"-a", "xr"}, Make(211, false, true, true, 10000), false},
        SwitchCase{{"/A", "/R", "a", "/", "--help"}, Make(211, false, false, false, 10000), false},
        // No number: 10 s and port 211 with TCP on.
        SwitchCase{{"/p"}, Make(211, false, false, false, 10000), false},
        SwitchCase{{"/pzz"}, Make(211, false, false, false, 10000), false},
        SwitchCase{{"/t"}, Make(211, true, false, false, 10000), false},
        SwitchCase{{"/t12x"}, Make(211, true, false, false, 10000), false},
        SwitchCase{{"/p0", "/t65535"}, Make(65535, true, false, false, 0), false},
        SwitchCase{{"/p32767"}, Make(211, false, false, false, 32767000), false},
        // Out of range: reported, and the switch's default is used.
        SwitchCase{{"/t65536"}, Make(211, true, false, false, 10000), true},
        SwitchCase{{"/t70000"}, Make(211, true, false, false, 10000), true},
        SwitchCase{{"/t-1"}, Make(211, true, false, false, 10000), true},
        SwitchCase{{"/t4294967507"}, Make(211, true, false, false, 10000), true},
        SwitchCase{{"/p32768"}, Make(211, false, false, false, 10000), true},
        SwitchCase{{"/p-5"}, Make(211, false, false, false, 10000), true},
        SwitchCase{{"/p2147484"}, Make(211, false, false, false, 10000), true},
        SwitchCase{{"/p99999999999999999999999"}, Make(211, false, false, false, 10000), true}));

TEST_F(SettingsFolder, NoArgumentsAndNoFileGiveTheDefaultsAndTenSeconds) {
  const TSettingsStore store;
  EXPECT_EQ(store.FileName(), File().string());
  const TStartSettings start = ReadStartSettings({}, store);
  EXPECT_EQ(start.Settings, THaldenSettings{});
  EXPECT_FALSE(start.FromSwitches);
  EXPECT_FALSE(start.KeepFile);
  EXPECT_TRUE(start.Problems.empty());
  EXPECT_EQ(FormOf(start.Settings).CloseTimeoutSeconds, 10);
  EXPECT_EQ(FormOf(start.Settings).TCPPort, "211");
}

TEST_F(SettingsFolder, SaveWritesAllFiveValuesUnderTheirNamesAndReadTakesThemBack) {
  const TSettingsStore store;
  const THaldenSettings s = Make(2002, true, true, false, 25000);
  ASSERT_TRUE(store.Save(s));
  const std::string text = ReadFile(File());
  for (const char* line : {"TCPPort=2002", "TCPEnabled=true", "AutoPortClose=true",
                           "AutoRecCancel=false", "CloseTimeout=25000"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  }
  const TStoredSettings back = store.Read();
  EXPECT_EQ(back.State, TSettingsFileState::Read);
  EXPECT_EQ(back.Settings, s);
}

TEST_F(SettingsFolder, EachStoredValueReplacesOnlyItsDefault) {
  WriteFile(File(), "[A4]\nParams\\AutoRecCancel=true\nParams\\CloseTimeout=1500\n");
  const TStoredSettings back = TSettingsStore().Read();
  EXPECT_EQ(back.State, TSettingsFileState::Read);
  EXPECT_EQ(back.Settings, Make(211, false, false, true, 1500));
}

TEST_F(SettingsFolder, SwitchesIgnoreTheFileAndTheStartUpApplyStoresThem) {
  const TSettingsStore store;
  store.Save(Make(5000, true, false, true, 3000));
  const TStartSettings start = ReadStartSettings({"/a", "/p20"}, store);
  EXPECT_TRUE(start.FromSwitches);
  EXPECT_EQ(start.Settings, Make(211, false, true, false, 20000));

  TScriptedListener listener;
  TSettingsApplier applier(store, listener, nullptr);
  applier.SetSettings(start.Settings, start.KeepFile);
  EXPECT_EQ(applier.Apply(start.Settings).Status, TApplyResult::Applied);
  EXPECT_EQ(store.Read().Settings, Make(211, false, true, false, 20000));
}

// Files that must survive a start untouched, with what the start then uses.
struct DamagedCase {
  const char* Name;
  std::string Text;  // empty: a folder in the file's place
  THaldenSettings Expected;
};

void PrintTo(const DamagedCase& c, std::ostream* os) {
  *os << c.Name;
}

class DamagedFile : public SettingsFolder, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFile, IsReportedAndKeptAtTheStartUpApply) {
  const DamagedCase& c = GetParam();
  if (c.Text.empty()) {
    std::filesystem::create_directories(File());
  } else {
    WriteFile(File(), c.Text);
  }
  const TSettingsStore store;
  const TStartSettings start = ReadStartSettings({}, store);
  EXPECT_TRUE(start.KeepFile);
  ASSERT_FALSE(start.Problems.empty());
  EXPECT_NE(start.Problems[0].find(File().string()), std::string::npos) << start.Problems[0];
  EXPECT_EQ(start.Settings, c.Expected);

  TScriptedListener listener;
  TSettingsApplier applier(store, listener, nullptr);
  applier.SetSettings(start.Settings, start.KeepFile);
  EXPECT_EQ(applier.Apply(start.Settings).Status, TApplyResult::Applied);
  if (c.Text.empty()) {
    EXPECT_TRUE(std::filesystem::is_directory(File()));
    return;
  }
  EXPECT_EQ(ReadFile(File()), c.Text);

  // The user's own apply afterwards does write.
  TSettingsForm form = FormOf(applier.Settings());
  form.AutoPortClose = true;
  EXPECT_EQ(applier.Apply(form).Status, TApplyResult::Applied);
  EXPECT_TRUE(store.Read().Settings.AutoPortClose);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DamagedFile,
    ::testing::Values(
        DamagedCase{"Folder", "", Make(211, false, false, false, 10000)},
        DamagedCase{"PortNotANumber", "[A4]\nParams\\TCPPort=abc\nParams\\AutoPortClose=true\n",
                    Make(211, false, true, false, 10000)},
        DamagedCase{"PortOutOfRange", "[A4]\nParams\\TCPPort=70000\nParams\\TCPEnabled=true\n",
                    Make(211, true, false, false, 10000)},
        DamagedCase{"PortZeroEnabled", "[A4]\nParams\\TCPPort=0\nParams\\TCPEnabled=true\n",
                    Make(0, false, false, false, 10000)},
        DamagedCase{"BooleanNotOne", "[A4]\nParams\\TCPEnabled=maybe\n",
                    Make(211, false, false, false, 10000)},
        DamagedCase{"TimeoutTooLong", "[A4]\nParams\\CloseTimeout=99999999999\n",
                    Make(211, false, false, false, 10000)}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SettingsFolder, ApplySavesHandsTheTcpPartOnAndArmsTheTimers) {
  const TSettingsStore store;
  TScriptedListener listener;
  std::vector<THaldenSettings> timers;
  TSettingsApplier applier(store, listener, [&](const THaldenSettings& s) { timers.push_back(s); });
  applier.SetSettings(THaldenSettings{});

  TSettingsForm form = FormOf(applier.Settings());
  form.TCPEnabled = true;
  form.TCPPort = "2002";
  form.CloseTimeoutSeconds = 30;
  form.AutoPortClose = true;
  const TApplyResult r = applier.Apply(form);
  EXPECT_EQ(r.Status, TApplyResult::Applied);
  EXPECT_TRUE(r.Error.empty());
  const THaldenSettings wanted = Make(2002, true, true, false, 30000);
  EXPECT_EQ(applier.Settings(), wanted);
  EXPECT_EQ(store.Read().Settings, wanted);
  EXPECT_EQ(listener.Calls, (std::vector<std::pair<bool, int>>{{true, 2002}}));
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_EQ(timers[0], wanted);

  // Unchecking the unlock box reaches the timers at the next apply.
  form.AutoPortClose = false;
  applier.Apply(form);
  EXPECT_FALSE(timers.back().AutoPortClose);
}

TEST_F(SettingsFolder, RefusingToDisconnectClientsKeepsEverything) {
  const TSettingsStore store;
  const THaldenSettings before = Make(2002, true, true, true, 20000);
  store.Save(before);
  const std::string file = ReadFile(File());
  TScriptedListener listener;
  std::vector<THaldenSettings> timers;
  TSettingsApplier applier(store, listener, [&](const THaldenSettings& s) { timers.push_back(s); });
  applier.SetSettings(before);

  TSettingsForm form = FormOf(before);
  form.TCPPort = "2003";
  form.CloseTimeoutSeconds = 5;
  listener.RefuseNext = true;
  const TApplyResult r = applier.Apply(form);
  EXPECT_EQ(r.Status, TApplyResult::Refused);
  EXPECT_EQ(applier.Settings(), before);
  EXPECT_EQ(ReadFile(File()), file);
  // The listener is told the old wishes again; the timers keep the old ones.
  EXPECT_EQ(listener.Calls, (std::vector<std::pair<bool, int>>{{true, 2003}, {true, 2002}}));
  ASSERT_FALSE(timers.empty());
  EXPECT_EQ(timers.back(), before);
}

TEST_F(SettingsFolder, AFailedListenerStartSwitchesTcpOffForThisRunOnly) {
  const TSettingsStore store;
  TScriptedListener listener;
  listener.FailPort = 2002;
  TSettingsApplier applier(store, listener, nullptr);
  applier.SetSettings(THaldenSettings{});

  TSettingsForm form = FormOf(applier.Settings());
  form.TCPEnabled = true;
  form.TCPPort = "2002";
  form.AutoPortClose = true;
  const TApplyResult r = applier.Apply(form);
  EXPECT_EQ(r.Status, TApplyResult::Applied);
  EXPECT_TRUE(r.TCPFailed);
  EXPECT_NE(r.Error.find("2002"), std::string::npos) << r.Error;
  EXPECT_NE(r.Error.find("Address already in use"), std::string::npos) << r.Error;
  EXPECT_EQ(applier.Settings(), Make(2002, false, true, false, 10000));
  // The next start tries again.
  EXPECT_EQ(store.Read().Settings, Make(2002, true, true, false, 10000));
}

struct BadFormCase {
  std::string Port;
  bool Tcp;
  int Seconds;
};

void PrintTo(const BadFormCase& c, std::ostream* os) {
  *os << "port '" << c.Port << "', TCP " << c.Tcp << ", " << c.Seconds << " s";
}

class BadForm : public SettingsFolder, public ::testing::WithParamInterface<BadFormCase> {};

TEST_P(BadForm, StopsTheApplyWithAMessageAndChangesNothing) {
  const BadFormCase& c = GetParam();
  const TSettingsStore store;
  TScriptedListener listener;
  int timerCalls = 0;
  TSettingsApplier applier(store, listener, [&](const THaldenSettings&) { ++timerCalls; });
  applier.SetSettings(THaldenSettings{});
  TSettingsForm form = FormOf(applier.Settings());
  form.TCPPort = c.Port;
  form.TCPEnabled = c.Tcp;
  form.CloseTimeoutSeconds = c.Seconds;
  form.AutoPortClose = true;
  const TApplyResult r = applier.Apply(form);
  EXPECT_EQ(r.Status, TApplyResult::Invalid);
  EXPECT_FALSE(r.Error.empty());
  EXPECT_EQ(applier.Settings(), THaldenSettings{});
  EXPECT_TRUE(listener.Calls.empty());
  EXPECT_EQ(timerCalls, 0);
  EXPECT_FALSE(std::filesystem::exists(File()));
}

INSTANTIATE_TEST_SUITE_P(Settings, BadForm,
                         ::testing::Values(BadFormCase{"abc", true, 10}, BadFormCase{"", false, 10},
                                           BadFormCase{"21 1", true, 10},
                                           BadFormCase{"70000", true, 10},
                                           BadFormCase{"65536", false, 10},
                                           BadFormCase{"0", true, 10}, BadFormCase{"-5", false, 10},
                                           BadFormCase{"211", true, 32768},
                                           BadFormCase{"211", true, -1}));

TEST_F(SettingsFolder, PortZeroIsAcceptedWhileTcpIsOff) {
  const TSettingsStore store;
  TScriptedListener listener;
  TSettingsApplier applier(store, listener, nullptr);
  TSettingsForm form = FormOf(THaldenSettings{});
  form.TCPPort = "0";
  EXPECT_EQ(applier.Apply(form).Status, TApplyResult::Applied);
  EXPECT_EQ(store.Read().Settings.TCPPort, 0);
}
