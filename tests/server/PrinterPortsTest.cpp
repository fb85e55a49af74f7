#include "halden/server/PrinterPorts.h"

#include <gtest/gtest.h>

#include <QThread>
#include <vector>

#include "ServerFixture.h"
#include "Wait.h"
#include "common/text/Hex.h"

namespace {

using varkon::HexSpaced;

std::string Pattern50() {
  std::string bytes(50, '\0');
  for (int i = 0; i < 50; ++i) bytes[i] = static_cast<char>(i + 1);
  return bytes;
}

TEST(StatusRecTest, DecodesEveryFieldAtItsOffsetLittleEndian) {
  const TStatusRec s = TStatusRec::Decode(Pattern50());
  EXPECT_EQ(s.OperatorNumber, 0x01);
  EXPECT_EQ(s.VersionFR, 0x05040302u);
  EXPECT_EQ(s.BuildFR, 0x0706);
  EXPECT_EQ(s.DayFR, 0x08);
  EXPECT_EQ(s.MonthFR, 0x09);
  EXPECT_EQ(s.YearFR, 0x0A);
  EXPECT_EQ(s.LogicalNumber, 0x0B);
  EXPECT_EQ(s.DocNumber, 0x0D0C);
  EXPECT_EQ(s.FlagsFR, 0x0F0E);
  EXPECT_EQ(s.ModeFr, 0x10);
  EXPECT_EQ(s.AdvansedModeFR, 0x11);
  EXPECT_EQ(s.PortFR, 0x12);
  EXPECT_EQ(s.VersionFP, 0x16151413u);
  EXPECT_EQ(s.BuildFP, 0x1817);
  EXPECT_EQ(s.DayFP, 0x19);
  EXPECT_EQ(s.MonthFP, 0x1A);
  EXPECT_EQ(s.YearFP, 0x1B);
  EXPECT_EQ(s.Day, 0x1C);
  EXPECT_EQ(s.Month, 0x1D);
  EXPECT_EQ(s.Year, 0x1E);
  EXPECT_EQ(s.Hour, 0x1F);
  EXPECT_EQ(s.Minute, 0x20);
  EXPECT_EQ(s.Second, 0x21);
  EXPECT_EQ(s.FlagsFP, 0x22);
  EXPECT_EQ(s.SerialNumber, 0x26252423u);
  EXPECT_EQ(s.SessionNumber, 0x2827);
  EXPECT_EQ(s.FreeRecordInCM, 0x2A29);
  EXPECT_EQ(s.RegistrationNumber, 0x2B);
  EXPECT_EQ(s.FreeRegistration, 0x2C);
  EXPECT_EQ(s.INN, 0x3231302F2E2Dull);
  EXPECT_EQ(s.Encode(), Pattern50());
}

// A short block overwrites only the bytes it has, even half of a field; a
// long one only the 50 bytes of the record.
TEST(StatusRecTest, UpdateOverwritesOnlyTheLeadingBytes) {
  TStatusRec s = TStatusRec::Decode(Pattern50());
  s.Update(std::string(12, '\xEE'));
  std::string expected = Pattern50();
  expected.replace(0, 12, std::string(12, '\xEE'));
  EXPECT_EQ(s.Encode(), expected);
  EXPECT_EQ(s.DocNumber, 0x0DEE);
  EXPECT_EQ(s.FlagsFR, 0x0F0E);

  s.Update(std::string(60, '\x01'));
  EXPECT_EQ(s.Encode(), std::string(50, '\x01'));
}

// Two holds on one number share one port; it goes, with its serial port and
// protocol, only when both are released; the registry goes after its last
// holder, ports included.
TEST(PortRegistryLifeTest, PortLivesUntilItsLastHoldAndRegistryUntilItsLastHolder) {
  TFakeLines lines;
  auto ports = std::make_unique<TPrinterPortsLink>();
  std::weak_ptr<TPrinterPorts> registry = ports->Ports();
  (*ports)->SetPortCreator(lines.Creator());
  std::vector<std::pair<int, TChangeType>> changes;
  int openAtRemoval = -1;
  (*ports)->SetOnChange([&](TPrinterPort* Port, TChangeType Change) {
    changes.emplace_back(Port->ID(), Change);
    // A watcher may still read the whole port while it learns of its end.
    if (Change == ctRemove) openAtRemoval = Port->Opened() + 2 * Port->Locked();
  });

  auto first = std::make_unique<TPrinterPortLink>(ports->Ports(), 3, 0);
  auto second = std::make_unique<TPrinterPortLink>(ports->Ports(), 3, 1);
  auto other = std::make_unique<TPrinterPortLink>(ports->Ports(), 4, 0);
  const int id = (*first)->ID();
  EXPECT_EQ(&first->Port(), &second->Port());
  EXPECT_NE(&first->Port(), &other->Port());
  EXPECT_EQ((*second)->ProtocolType(), 0);  // the creator's protocol type stays
  EXPECT_EQ((*ports)->Count(), 2);
  EXPECT_EQ((*ports)->ItemByID(id).get(), &first->Port());
  EXPECT_EQ((*ports)->ItemByPortNumber(4).get(), &other->Port());
  EXPECT_EQ(lines.Line(3).LiveObjects, 2);

  (*first)->OpenPort(1);
  ASSERT_TRUE((*first)->LockPort({1, 10, "cash", "POS1"}));
  first.reset();
  ASSERT_NE((*ports)->ItemByPortNumber(3), nullptr);
  EXPECT_TRUE(lines.Line(3).Opened);

  second.reset();
  EXPECT_EQ((*ports)->ItemByPortNumber(3), nullptr);
  EXPECT_EQ((*ports)->ItemByID(id), nullptr);
  EXPECT_EQ((*ports)->Count(), 1);
  EXPECT_FALSE(lines.Line(3).Opened);
  EXPECT_EQ(lines.Line(3).LiveObjects, 0);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[0], std::make_pair(id, ctInsert));
  EXPECT_EQ(changes[1].second, ctInsert);
  EXPECT_EQ(changes[2], std::make_pair(id, ctChange));
  EXPECT_EQ(changes[3], std::make_pair(id, ctRemove));
  EXPECT_EQ(openAtRemoval, 3);  // still open and locked when the watcher heard of it

  // The remaining port holds the registry: it ends only after the port.
  (*ports)->SetOnChange(nullptr);
  ports.reset();
  EXPECT_FALSE(registry.expired());
  other.reset();
  EXPECT_TRUE(registry.expired());
  EXPECT_EQ(lines.Line(4).LiveObjects, 0);
}

class PortRegistryTest : public FakeServerTest {};

TEST_F(PortRegistryTest, LockBelongsToOneHolderAndAdministratorUnlocksAnyone) {
  TPrinterPortLink link(FPorts.Ports(), 3, 0);
  TPrinterPort& port = link.Port();
  int changes = 0;
  FPorts->SetOnChange([&](TPrinterPort*, TChangeType Change) { changes += Change == ctChange; });

  EXPECT_TRUE(port.LockPort({7, 100, "cash", "POS1"}));
  EXPECT_FALSE(port.LockPort({8, 200, "other", "POS2"}));
  EXPECT_EQ(port.LockerID(), 7);
  EXPECT_EQ(port.AppPID(), 100u);
  EXPECT_EQ(port.AppName(), "cash");
  EXPECT_EQ(port.CompName(), "POS1");
  EXPECT_TRUE(port.LockPort({7, 101, "cash2", "POS1"}));
  EXPECT_EQ(port.AppName(), "cash2");

  EXPECT_FALSE(port.UnlockPort(8));
  EXPECT_TRUE(port.Locked());
  EXPECT_TRUE(port.UnlockPort(0));
  EXPECT_FALSE(port.Locked());
  EXPECT_EQ(port.LockerID(), 0);
  EXPECT_TRUE(port.UnlockPort(8));  // an unlocked port unlocks for anyone
  EXPECT_TRUE(port.LockPort({8, 200, "other", "POS2"}));
  EXPECT_TRUE(port.UnlockPort(8));
  EXPECT_EQ(changes, 6);
  FPorts->SetOnChange(nullptr);
}

class LockTimeoutTest : public FakeServerTest {
 protected:
  LockTimeoutTest() : FLink(FPorts.Ports(), 3, 0), FPort(FLink.Port()), FLine(FLines.Line(3)) {}

  void LockAndOpen(int Password) {
    FPort.OpenPort(1);
    ASSERT_TRUE(FPort.LockPort({1, 10, "cash", "POS1"}));
    FPort.OpenCheck(Password);
  }
  std::string Sent() {
    std::string result;
    for (const std::string& c : FLine.Commands)
      result += (result.empty() ? "" : " | ") + HexSpaced(c);
    return result;
  }

  TPrinterPortLink FLink;
  TPrinterPort& FPort;
  TFakeLine& FLine;
};

TEST_F(LockTimeoutTest, UnlocksAfterTheTimeoutWithAutoPortClose) {
  Settings(true, false, 20);
  FPort.OpenPort(1);
  ASSERT_TRUE(FPort.LockPort({1, 10, "cash", "POS1"}));
  EXPECT_TRUE(FPort.Timer().Armed());
  EXPECT_TRUE(WaitFor([&] { return !FPort.Locked(); }));
  EXPECT_TRUE(FLine.Commands.empty());
}

struct TSettingsCase {
  const char* Name;
  bool AutoPortClose;
  int CloseTimeout;
};
void PrintTo(const TSettingsCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}
class TimerNeverRunsTest : public LockTimeoutTest,
                           public ::testing::WithParamInterface<TSettingsCase> {};

// Without AutoPortClose, or with a time-out of 0, nothing ever arms the timer.
TEST_P(TimerNeverRunsTest, LockAndCommandsLeaveTheTimerStopped) {
  Settings(GetParam().AutoPortClose, true, GetParam().CloseTimeout);
  FLine.Device = [](const std::string& C) { return C.substr(0, 1) + std::string(1, '\0'); };
  LockAndOpen(30);
  FPort.SendData(1000, "\x10");
  FPort.ClosePort(1);
  FPort.OpenPort(1);
  EXPECT_FALSE(FPort.Timer().Active());
  EXPECT_FALSE(FPort.Timer().Armed());
  FPorts->UpdateTimers();
  EXPECT_FALSE(FPort.Timer().Armed());
  EXPECT_TRUE(FPort.Locked());
}

INSTANTIATE_TEST_SUITE_P(Cases, TimerNeverRunsTest,
                         ::testing::Values(TSettingsCase{"AutoPortCloseOff", false, 20},
                                           TSettingsCase{"ZeroTimeout", true, 0}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(LockTimeoutTest, ClosePortStopsTheTimerAndOpenPortOrSendDataArmsItAgain) {
  Settings(true, false, 60000);
  FLine.Device = [](const std::string& C) { return C.substr(0, 1) + std::string(1, '\0'); };
  FPort.OpenPort(1);
  ASSERT_TRUE(FPort.LockPort({1, 10, "cash", "POS1"}));
  EXPECT_TRUE(FPort.Timer().Armed());

  FPort.ClosePort(1);
  EXPECT_FALSE(FPort.Timer().Armed());
  EXPECT_TRUE(FPort.Locked());
  FPort.OpenPort(2);  // any client's open
  EXPECT_TRUE(FPort.Timer().Armed());

  FPort.ClosePort(2);
  EXPECT_FALSE(FPort.Timer().Armed());
  FPort.OpenPort(1);
  FPort.ClosePort(1);
  EXPECT_THROW(FPort.SendData(1000, "\x10"), EDriverError);  // closed: the link fails
  EXPECT_TRUE(FPort.Timer().Armed());
}

TEST_F(LockTimeoutTest, UpdateTimersAppliesNewSettingsToExistingPorts) {
  EXPECT_FALSE(FPort.Timer().Armed());
  Settings(true, false, 45000);
  EXPECT_TRUE(FPort.Timer().Armed());
  EXPECT_EQ(FPort.Timer().Interval(), 45000);
  Settings(false, false, 45000);
  EXPECT_FALSE(FPort.Timer().Armed());
}

// At the time-out the receipt reported open is cancelled on the device: the
// status request with the password, least significant byte first, then the
// cancel, as the device is in mode 8 (the high bits of the mode are another
// matter); then the port is unlocked.
TEST_F(LockTimeoutTest, CancelsTheOpenReceiptWithThePasswordAndUnlocks) {
  Settings(true, true, 20);
  FLine.Device = [](const std::string& C) -> std::string {
    if (C[0] == 0x11) return StatusAnswer(0x28);
    return C.substr(0, 1) + std::string(1, '\0');
  };
  LockAndOpen(0x01020304);
  EXPECT_TRUE(WaitFor([&] { return !FPort.CheckOpened() && !FPort.Locked(); }));
  EXPECT_EQ(Sent(), "11 04 03 02 01 | 88 04 03 02 01");
  EXPECT_EQ(FPort.Status().ModeFr, 0x28);
}

// A status request that gets no answer leaves the flag set, and the next
// firing asks again.
TEST_F(LockTimeoutTest, FailedStatusRequestKeepsTheFlagAndRetries) {
  Settings(true, true, 10);
  int requests = 0;
  bool flagSetOnRetry = false;
  FLine.Device = [&](const std::string& C) -> std::string {
    if (C[0] == 0x11) {
      if (++requests < 3) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
      flagSetOnRetry = FPort.CheckOpened();
      return StatusAnswer(8);
    }
    return "\x88\x00";
  };
  LockAndOpen(30);
  EXPECT_TRUE(WaitFor([&] { return !FPort.CheckOpened(); }));
  EXPECT_TRUE(flagSetOnRetry);
  EXPECT_EQ(Sent(), "11 1E 00 00 00 | 11 1E 00 00 00 | 11 1E 00 00 00 | 88 1E 00 00 00");
}

TEST_F(LockTimeoutTest, DeviceInAnotherModeKeepsTheFlagAndIsNotCancelled) {
  Settings(true, true, 10);
  FLine.Device = [](const std::string&) { return StatusAnswer(0x04); };
  LockAndOpen(30);
  EXPECT_TRUE(WaitFor([&] { return FLine.Commands.size() >= 3; }));
  Settings(false, true, 10);
  EXPECT_TRUE(FPort.CheckOpened());
  for (const std::string& c : FLine.Commands) EXPECT_EQ(c[0], 0x11);
}

// A cancel lost on the link leaves the receipt open on the device: the flag
// stays and the next firing cancels again; a cancel the device answered
// clears it even with an error byte.
TEST_F(LockTimeoutTest, CancelLostOnTheLinkIsRetriedAndAnAnsweredOneClearsTheFlag) {
  Settings(true, true, 10);
  int cancels = 0;
  bool flagSetAfterLostCancel = false;
  FLine.Device = [&](const std::string& C) -> std::string {
    if (C[0] == 0x11) {
      if (cancels == 1) flagSetAfterLostCancel = FPort.CheckOpened();
      return StatusAnswer(8);
    }
    if (++cancels == 1) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    return "\x88\x4F";
  };
  LockAndOpen(30);
  EXPECT_TRUE(WaitFor([&] { return !FPort.CheckOpened(); }));
  EXPECT_TRUE(flagSetAfterLostCancel);
  EXPECT_EQ(cancels, 2);
  EXPECT_EQ(FLine.Commands.size(), 4u);
}

// The decision to cancel rests on the mode of this status answer, never on
// one left over from an earlier status: a status answer that stops short of
// the mode, an answer of another command and an answer with a two-byte code
// and nothing else all leave the receipt alone.
TEST_F(LockTimeoutTest, CancelNeedsTheModeOfAFreshStatus) {
  Settings(true, true, 10);
  std::vector<std::string> answers = {StatusAnswer(8), "",  // mode 8, then the cancel is lost
                                      HexBytes("11 00 01 02 03"), HexBytes("FC 00"),
                                      HexBytes("FF 11")};
  size_t next = 0;
  FLine.Device = [&](const std::string&) -> std::string {
    if (next >= answers.size()) return HexBytes("11 00 01 02 03");
    const std::string answer = answers[next++];
    if (answer.empty()) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    return answer;
  };
  LockAndOpen(30);
  EXPECT_TRUE(WaitFor([&] { return FLine.Commands.size() >= 7; }));
  Settings(false, true, 10);
  EXPECT_TRUE(FPort.CheckOpened());
  ASSERT_GE(FLine.Commands.size(), 7u);
  EXPECT_EQ(FLine.Commands[1][0], static_cast<char>(0x88));
  for (size_t i = 2; i < FLine.Commands.size(); ++i) EXPECT_EQ(FLine.Commands[i][0], 0x11) << i;
}

TEST_F(LockTimeoutTest, ShortStatusUpdatesOnlyTheStartOfTheRecord) {
  Settings(false, true, 10);
  std::string full = std::string("\x11\x00", 2) + Pattern50();
  full[2 + 15] = 0x00;  // mode 0: no cancel
  std::string answer = full;
  FLine.Device = [&](const std::string&) { return answer; };
  LockAndOpen(30);
  FPort.CancelOpenReceipt();
  std::string expected = full.substr(2);
  EXPECT_EQ(FPort.Status().Encode(), expected);

  answer = std::string("\x11\x00", 2) + std::string(20, '\x00');  // 22 bytes
  FPort.CancelOpenReceipt();
  expected.replace(0, 20, std::string(20, '\x00'));
  EXPECT_EQ(FPort.Status().Encode(), expected);
  EXPECT_EQ(FLine.Commands.size(), 2u);
}

TEST_F(LockTimeoutTest, ClosedSerialPortIsNotAskedButStillUnlocked) {
  Settings(true, true, 10);
  FLine.Device = [](const std::string&) { return StatusAnswer(8); };
  LockAndOpen(30);
  FPort.ClosePort(1);
  ASSERT_TRUE(FPort.LockPort({1, 10, "cash", "POS1"}));  // arms the time-out again
  EXPECT_TRUE(WaitFor([&] { return !FPort.Locked(); }));
  EXPECT_TRUE(FLine.Commands.empty());
  EXPECT_TRUE(FPort.CheckOpened());
}

// A command that takes longer than the time-out must not cost its client the
// lock the moment it returns: the idle time counts from the end of the
// command. (The timer would otherwise have expired during the command and
// fire at the first turn of the event loop.)
TEST_F(LockTimeoutTest, CommandLongerThanTheTimeoutKeepsTheLock) {
  Settings(true, false, 1000);
  FLine.Device = [](const std::string& C) {
    QThread::msleep(1300);
    return C.substr(0, 1) + std::string(1, '\0');
  };
  FPort.OpenPort(1);
  ASSERT_TRUE(FPort.LockPort({1, 10, "cash", "POS1"}));
  FPort.SendData(1000, "\x10");
  // A timer that expired during the command fires within the first turns of
  // the event loop; a restarted one is still most of a second away.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_TRUE(FPort.Locked());
  EXPECT_TRUE(WaitFor([&] { return !FPort.Locked(); }));
}

}  // namespace
