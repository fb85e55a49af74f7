// TComPort over a pseudo-terminal with a scripted device, and the
// TPtyDevice fixture itself.

#include "halden/link/ComPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "common/config/Paths.h"
#include "common/logging/LogFile.h"
#include "support/PtyDevice.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using pty::Bytes;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point Start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
}

// Waits (at most 5 s) until the bytes the device wrote have reached the
// slave's input queue, which the fixture's own slave descriptor shares.
void WaitForInput(const TPtyDevice& Dev) {
  pollfd p{Dev.SlaveFd(), POLLIN, 0};
  poll(&p, 1, 5000);
}

// Runs Body; a call that has not returned within Ms aborts the program, so a
// wait for ever shows as a failure at once rather than at CTest's time-out.
template <class F>
void Bounded(int Ms, F&& Body) {
  std::atomic<bool> done{false};
  std::thread dog([&done, Ms] {
    const auto until = Clock::now() + std::chrono::milliseconds(Ms);
    while (!done) {
      if (Clock::now() > until) {
        std::fprintf(stderr, "a port call did not return within %d ms\n", Ms);
        std::abort();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  struct Stop {
    std::atomic<bool>& done;
    std::thread& dog;
    ~Stop() {
      done = true;
      dog.join();
    }
  } stop{done, dog};
  Body();
}

// The code of the EDriverError that Body raises, or 1 when it raises none.
template <class F>
int CodeOf(F&& Body) {
  try {
    Body();
  } catch (const EDriverError& e) {
    return e.ErrorCode();
  }
  return 1;
}

// Every test logs to a file of its own; Log() gives the lines written since
// the last call as "[LEVEL] Name message".
class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLogName = FDir.path() / "test.log";
    GlobalLogger().SetFileName(FLogName.string());
    GlobalLogger().SetEnabled(true);
  }
  void TearDown() override {
    GlobalLogger().SetEnabled(false);
    GlobalLogger().SetFileName("");
  }

  std::vector<std::string> Log() {
    GlobalLogger().Close();
    std::ifstream in(FLogName, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> lines;
    std::size_t pos = FLogRead;
    while (pos < text.size()) {
      std::size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(pos, end - pos);
      const std::size_t body = line.find("] [", 0);
      const std::size_t level = body == std::string::npos ? body : line.find("] ", body + 3);
      lines.push_back(level == std::string::npos ? line : line.substr(level + 2));
      pos = end + 2;
    }
    FLogRead = text.size();
    return lines;
  }

  PConnectionParams Params(int Com = 3, int Timeout = 200, int Baud = 6) {
    auto p = std::make_shared<TConnectionParams>();
    p->ComNumber = Com;
    p->Timeout = Timeout;
    p->BaudRate = Baud;
    return p;
  }

  TempDir FDir;
  fs::path FLogName;
  std::size_t FLogRead = 0;
};

using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Shared pieces

TEST(ConnectionParams, FreshValues) {
  const TConnectionParams p;
  EXPECT_EQ(p.MaxENQCount, 4);
  EXPECT_EQ(p.MaxAnsCount, 4);
  EXPECT_EQ(p.CommandRetryCount, 4);
  EXPECT_EQ(p.MaxCmdCount, 5);
  EXPECT_EQ(p.Timeout, 0);
  EXPECT_EQ(p.ComNumber, 0);
  EXPECT_EQ(p.BaudRate, 0);
}

TEST(ComPortErrors, FlagNamesInTheirOrder) {
  EXPECT_EQ(CommErrorsText(0x8), "ClearCommError.Errors: 0x00000008,  CE_FRAME");
  // CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY, printed in their fixed order.
  EXPECT_EQ(CommErrorsText(0x1F),
            "ClearCommError.Errors: 0x0000001f,  CE_BREAK CE_FRAME CE_OVERRUN CE_RXOVER CE_RXPARITY");
  EXPECT_EQ(CommErrorsText(0x9F00),
            "ClearCommError.Errors: 0x00009f00,  CE_DNS CE_IOE CE_MODE CE_OOP CE_PTO CE_TXFULL");
}

// ---------------------------------------------------------------------------
// The fixture

int OpenSlave(const std::string& Path) {
  const int fd = open(Path.c_str(), O_RDWR | O_NOCTTY);
  EXPECT_GE(fd, 0) << Path;
  return fd;
}

std::string ReadN(int Fd, std::size_t N) {
  std::string out;
  char c;
  while (out.size() < N && read(Fd, &c, 1) == 1) out.push_back(c);
  return out;
}

TEST(PtyDevice, MapsTheSlaveAndRestoresTheVariable) {
  const std::string before = std::getenv("VARKON_PORTS") ? std::getenv("VARKON_PORTS") : "";
  {
    TPtyDevice a(3);
    {
      TPtyDevice b(12);
      EXPECT_EQ(DevicePathOf(3), a.SlavePath());
      EXPECT_EQ(DevicePathOf(12), b.SlavePath());
      EXPECT_NE(a.SlavePath(), b.SlavePath());
      EXPECT_EQ(PortMapFileName(), TPtyDevice::MapFile());
    }
    EXPECT_EQ(DevicePathOf(3), a.SlavePath());
    EXPECT_EQ(DevicePathOf(12), "/dev/ttyS11");  // the entry went with its device
    a.Remove();
    EXPECT_FALSE(fs::exists(DevicePathOf(3)));
    a.Restore();
    EXPECT_EQ(DevicePathOf(3), a.SlavePath());
    EXPECT_TRUE(fs::exists(a.SlavePath()));
  }
  EXPECT_EQ(std::getenv("VARKON_PORTS") ? std::getenv("VARKON_PORTS") : "", before);
}

TEST(PtyDevice, FollowsTheScriptAndRecords) {
  TPtyDevice dev(3);
  dev.Run({pty::Exchange(Bytes("05"), Bytes("15")), pty::Expect(Bytes("02 03 41 42 43 43")),
           pty::Reply(Bytes("06 02 02")).After(30).Gap(20)});
  const int fd = OpenSlave(dev.SlavePath());
  ASSERT_EQ(write(fd, "\x05", 1), 1);
  EXPECT_EQ(ReadN(fd, 1), "\x15");
  ASSERT_EQ(write(fd, "\x02\x03\x41\x42\x43\x43\x07", 7), 7);
  const auto start = Clock::now();
  EXPECT_EQ(ReadN(fd, 3), Bytes("06 02 02"));
  EXPECT_GE(MsSince(start), 60);  // 30 ms delay, then 20 ms between bytes
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(dev.Received(), Bytes("05 02 03 41 42 43 43 07"));  // the extra byte is recorded too
  close(fd);
}

TEST(PtyDevice, ReportsMismatchAndTimeOutInsteadOfHanging) {
  TPtyDevice dev(3);
  const int fd = OpenSlave(dev.SlavePath());
  dev.Run({pty::Exchange(Bytes("05"), Bytes("15")), pty::Exchange(Bytes("02 03"), Bytes("06"))});
  ASSERT_EQ(write(fd, "\x05\x02\x04", 3), 3);
  auto result = dev.Finish(2000);
  ASSERT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("step 2 of 2: expected 02 03, got 02 04 (differs at byte 2)"),
            std::string::npos)
      << result.message();

  dev.Run({pty::Expect(Bytes("06")).Within(100)});
  const auto start = Clock::now();
  result = dev.Finish(2000);
  ASSERT_FALSE(result);
  EXPECT_LT(MsSince(start), 1500);
  EXPECT_NE(std::string(result.message()).find("expected 06, got (nothing) and nothing more within 100 ms"),
            std::string::npos)
      << result.message();

  dev.Run({pty::Expect(Bytes("06")).Within(5000)});
  result = dev.Finish(100);  // the script waits longer than the test
  ASSERT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("script not finished within 100 ms, at step 1 of 1 (expect 06)"),
            std::string::npos)
      << result.message();
  close(fd);
}

TEST(PtyDevice, ProgrammableDevice) {
  TPtyDevice dev(3);
  std::string in;
  dev.Serve([&](std::string_view chunk) {
    in.append(chunk);
    std::string out;
    for (std::size_t nl; (nl = in.find('\n')) != std::string::npos; in.erase(0, nl + 1)) {
      out += "<" + in.substr(0, nl) + ">";
    }
    return out;
  });
  const int fd = OpenSlave(dev.SlavePath());
  ASSERT_EQ(write(fd, "ab\ncd", 5), 5);
  EXPECT_EQ(ReadN(fd, 4), "<ab>");
  ASSERT_EQ(write(fd, "e\n", 2), 2);
  EXPECT_EQ(ReadN(fd, 5), "<cde>");
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(dev.Received(), "ab\ncde\n");
  close(fd);
}

// ---------------------------------------------------------------------------
// Open and close

TEST_F(ComPortTest, OpenCloseLinesAndTheOpenPort) {
  TPtyDevice dev(3);
  auto params = Params(3, 200, 2);
  TComPort port(params);
  EXPECT_EQ(port.DeviceName(), "COM3");
  EXPECT_FALSE(port.GetOpened());
  port.Open();
  EXPECT_TRUE(port.GetOpened());
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Open COM3", "[DEBUG] TComPort CreateHandle " + dev.SlavePath()}));

  // An open port: only the line, and the line settings stay as they are.
  params->BaudRate = 6;
  port.Open();
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Open COM3"}));
  termios t{};
  ASSERT_EQ(tcgetattr(dev.SlaveFd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));

  port.Close();
  EXPECT_FALSE(port.GetOpened());
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Close.1", "[DEBUG] TComPort Close.2", "[DEBUG] TComPort Close.3"}));
  port.Close();
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Close.1"}));

  // COM numbers of 10 and more take the same way.
  TPtyDevice dev12(12);
  TComPort port12(Params(12));
  port12.Open();
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Open COM12", "[DEBUG] TComPort CreateHandle " + dev12.SlavePath()}));
}

TEST_F(ComPortTest, LineSettingsAndBaudCodes) {
  TPtyDevice dev(3);
  struct Case {
    int Code;
    speed_t Speed;
  };
  const Case cases[] = {{0, B2400}, {1, B4800}, {2, B9600}, {6, B115200}, {9, B921600},
                        {-1, B4800}, {10, B4800}, {1000, B4800}};
  for (const Case& c : cases) {
    TComPort port(Params(3, 200, c.Code));
    port.Open();
    termios t{};
    ASSERT_EQ(tcgetattr(dev.SlaveFd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), c.Speed) << "code " << c.Code;
    EXPECT_EQ(cfgetispeed(&t), c.Speed) << "code " << c.Code;
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
  }
}

TEST_F(ComPortTest, MissingDeviceIsNotAvailable) {
  TempDir dir;
  const std::string map = (dir.path() / "ports.ini").string();
  std::ofstream(map) << "[Ports]\n3=" << (dir.path() / "ttyNone").string() << "\n";
  setenv("VARKON_PORTS", map.c_str(), 1);
  TComPort port(Params(3));
  try {
    port.Open();
    ADD_FAILURE() << "opened";
  } catch (const EDriverError& e) {
    EXPECT_EQ(e.ErrorCode(), -2);
    EXPECT_STREQ(e.what(), "СOM порт недоступен");
  }
  EXPECT_FALSE(port.GetOpened());
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Open COM3", "[DEBUG] TComPort CreateHandle " + (dir.path() / "ttyNone").string(),
                          "[ERROR] TComPort CreateFile ERROR: 0x00000002, No such file or directory"}));
  setenv("VARKON_PORTS", "/nonexistent/varkon-test-ports.ini", 1);
}

// Permission denied is -2, never "held by another application". The test runs
// as root, so a child process gives up root before it opens.
TEST_F(ComPortTest, PermissionDeniedIsNotAvailable) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  TempDir dir;
  const std::string device = (dir.path() / "ttyLocked").string();
  const std::string map = (dir.path() / "ports.ini").string();
  std::ofstream(device) << "";
  std::ofstream(map) << "[Ports]\n3=" << device << "\n";
  chmod(dir.path().c_str(), 0755);
  chmod(map.c_str(), 0644);
  chmod(device.c_str(), 0600);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("VARKON_PORTS", map.c_str(), 1);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    if (DevicePathOf(3) != device) _exit(101);  // never reach a real port
    if (open(device.c_str(), O_RDWR) >= 0 || errno != EACCES) _exit(102);
    _exit(-CodeOf([] {
      TConnectionParams p;
      p.ComNumber = 3;
      TComPort(std::make_shared<TConnectionParams>(p)).Open();
    }));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot switch to another user here";
  EXPECT_EQ(WEXITSTATUS(status), 2) << "exit status 2 stands for -2";
}

TEST_F(ComPortTest, DeviceLockedByAnotherIsBusy) {
  TPtyDevice dev(3);
  const int holder = open(dev.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  TComPort port(Params(3));
  try {
    port.Open();
    ADD_FAILURE() << "opened";
  } catch (const EDriverError& e) {
    EXPECT_EQ(e.ErrorCode(), -3);
    EXPECT_STREQ(e.what(), "СOM порт занят другим приложением");
  }
  EXPECT_FALSE(port.GetOpened());
  EXPECT_EQ(Log().back(), "[ERROR] TComPort CreateFile ERROR: 0x0000000b, Resource temporarily unavailable");

  // A second port of this process is another holder as well.
  close(holder);
  port.Open();
  TComPort other(Params(3));
  EXPECT_EQ(CodeOf([&] { other.Open(); }), -3);
  port.Close();
  other.Open();  // the lock went with the close (no TIOCEXCL left behind)
  EXPECT_TRUE(other.GetOpened());
}

TEST_F(ComPortTest, LineThatCannotBeSetLeavesThePortOpen) {
  TempDir dir;
  const std::string device = (dir.path() / "notatty").string();
  const std::string map = (dir.path() / "ports.ini").string();
  std::ofstream(device) << "";
  std::ofstream(map) << "[Ports]\n3=" << device << "\n";
  setenv("VARKON_PORTS", map.c_str(), 1);
  TComPort port(Params(3));
  EXPECT_EQ(CodeOf([&] { port.Open(); }), -1);
  EXPECT_TRUE(port.GetOpened());
  EXPECT_EQ(Log().back(), "[ERROR] TComPort SetCommState ERROR: 0x00000019, Inappropriate ioctl for device");
  port.Close();
  setenv("VARKON_PORTS", "/nonexistent/varkon-test-ports.ini", 1);
}

// ---------------------------------------------------------------------------
// Reading and writing

TEST_F(ComPortTest, WriteReadReadChar) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 100));
  port.Open();
  dev.Run({pty::Exchange("ABC", "xyz"), pty::Exchange("D", "q"), pty::Exchange("E", "12")});
  port.SetCmdTimeout(1000);
  Log();
  port.Write("");  // nothing is written
  port.Write("ABC");
  EXPECT_EQ(port.Read(3), "xyz");
  port.Write("D");
  char c = 0;
  EXPECT_TRUE(port.ReadChar(c));
  EXPECT_EQ(c, 'q');
  EXPECT_EQ(port.Read(0), "");
  EXPECT_EQ(port.ReadEx(0, 0), "");

  // A short block is an error of the read.
  port.Write("E");
  port.SetCmdTimeout(300);
  const auto start = Clock::now();
  EXPECT_EQ(CodeOf([&] { port.Read(3); }), -1);
  EXPECT_LT(MsSince(start), 1000);  // the gap of 100 ms after "12" ends the read
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(dev.Received(), "ABCDE");
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort SetCmdTimeout 300",
                          "[ERROR] TComPort ReadFile ERROR: 0x0000006e, Connection timed out"}));
  EXPECT_TRUE(port.GetOpened());
}

TEST_F(ComPortTest, ReadCharTimeOutLeavesTheByte) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 50));
  port.Open();
  port.SetCmdTimeout(150);
  Log();
  char c = 'z';
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadChar(c));
  const auto took = MsSince(start);
  EXPECT_EQ(c, 'z');
  EXPECT_GE(took, 140);
  EXPECT_LT(took, 1000);
  EXPECT_EQ(Log(), Lines{});  // a pty has no error counters: nothing to log
}

TEST_F(ComPortTest, ReadExZeroTimeOutFailsOnEntry) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 100));
  port.Open();
  dev.Run({pty::Reply("AB")});
  ASSERT_TRUE(dev.Finish());
  WaitForInput(dev);  // the bytes are there
  port.SetCmdTimeout(100);
  Log();
  EXPECT_EQ(CodeOf([&] { port.ReadEx(2, 0); }), -1);
  EXPECT_EQ(CodeOf([&] { port.ReadEx(2, -5); }), -1);
  EXPECT_EQ(Log(), Lines{});  // no error line for the deadline
  EXPECT_EQ(port.ReadEx(2, 100), "AB");
}

TEST_F(ComPortTest, ReadExCompletesWhenTheLastBytesComeNearTheDeadline) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 60));  // the gap after "12" ends the first read
  port.Open();
  port.SetCmdTimeout(1000);
  dev.Run({pty::Reply("12"), pty::Reply("34").After(230)});
  const auto start = Clock::now();
  EXPECT_EQ(port.ReadEx(4, 300), "1234");
  EXPECT_GE(MsSince(start), 220);
  EXPECT_TRUE(dev.Finish());
}

TEST_F(ComPortTest, ReadExDeadlineBoundsTheReads) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 0));  // no gap limit
  port.Open();
  port.SetCmdTimeout(5000);
  dev.Run({pty::Reply("12"), pty::Reply("34").After(800)});
  const auto start = Clock::now();
  EXPECT_EQ(CodeOf([&] { port.ReadEx(4, 200); }), -1);
  const auto took = MsSince(start);
  EXPECT_GE(took, 190);
  EXPECT_LT(took, 700);  // the deadline, not the 5 s of the read
}

// A byte time-out of 0: no limit on the gap, the total holds. Negative and
// huge values stay bounded.
TEST_F(ComPortTest, TimeOutBounds) {
  TPtyDevice dev(3);
  auto params = Params(3, 0);
  TComPort port(params);
  port.Open();

  // Gap without limit: 3 bytes 150 ms apart are one read.
  port.SetCmdTimeout(1500);
  dev.Run({pty::Reply("abc").Gap(150)});
  EXPECT_EQ(port.Read(3), "abc");
  ASSERT_TRUE(dev.Finish());
  // With a gap limit of 50 ms the same bytes fail the read.
  params->Timeout = 50;
  port.SetCmdTimeout(1500);
  dev.Run({pty::Reply("abc").Gap(150)});
  EXPECT_EQ(CodeOf([&] { port.Read(3); }), -1);
  ASSERT_TRUE(dev.Finish());
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  port.Purge();

  struct Case {
    int ByteTimeout, Total;
    long long AtLeastMs, BelowMs;
  };
  const Case silent[] = {
      {0, 0, 950, 2500},      // neither given: 1 s
      {-7, -7, 950, 2500},    // negative byte time-out too
      {200, 0, 190, 1000},    // a non-positive total becomes the byte time-out
      {200, -30, 190, 1000},
      {INT_MIN, INT_MIN, 950, 2500},
  };
  for (const Case& c : silent) {
    params->Timeout = c.ByteTimeout;
    port.SetCmdTimeout(c.Total);
    char ch = 0;
    const auto start = Clock::now();
    Bounded(10000, [&] { EXPECT_FALSE(port.ReadChar(ch)); });
    const auto took = MsSince(start);
    EXPECT_GE(took, c.AtLeastMs) << c.ByteTimeout << "/" << c.Total;
    EXPECT_LT(took, c.BelowMs) << c.ByteTimeout << "/" << c.Total;
  }

  // Huge values neither overflow nor stop a read that gets its bytes.
  params->Timeout = INT_MAX;
  port.SetCmdTimeout(INT_MAX);
  dev.Run({pty::Exchange("W", "xy").After(50)});
  Bounded(10000, [&] {
    port.Write("W");
    EXPECT_EQ(port.ReadEx(2, INT_MAX), "xy");
  });
  EXPECT_TRUE(dev.Finish());
}

TEST_F(ComPortTest, WriteAndPurgeReopenAClosedPort) {
  TPtyDevice dev(3);
  TComPort port(Params(3));
  port.Open();
  port.Close();
  Log();
  port.Write("");
  EXPECT_EQ(Log(), Lines{});
  EXPECT_FALSE(port.GetOpened());

  dev.Run({pty::Exchange("A", "b")});
  port.Write("A");  // fails on the closed port, reopens, writes again
  EXPECT_TRUE(port.GetOpened());
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Close.1", "[DEBUG] TComPort Open COM3",
                          "[DEBUG] TComPort CreateHandle " + dev.SlavePath()}));
  port.SetCmdTimeout(500);
  EXPECT_EQ(port.Read(1), "b");
  EXPECT_TRUE(dev.Finish());

  port.Close();
  Log();
  port.Purge();
  EXPECT_TRUE(port.GetOpened());
  EXPECT_EQ(Log(), (Lines{"[DEBUG] TComPort Close.1", "[DEBUG] TComPort Open COM3",
                          "[DEBUG] TComPort CreateHandle " + dev.SlavePath()}));
}

TEST_F(ComPortTest, PurgeDiscardsPendingInput) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 50));
  port.Open();
  dev.Run({pty::Reply("stale")});
  ASSERT_TRUE(dev.Finish());
  WaitForInput(dev);
  port.Purge();
  port.SetCmdTimeout(100);
  char c = 0;
  EXPECT_FALSE(port.ReadChar(c));
}

// ---------------------------------------------------------------------------
// Removal

const Lines kRemovalLines = {
    "[DEBUG] TDeviceNotification DEVICECHANGE: 8004",
    "[DEBUG] TComPort DeviceChanged: 32772",
    "[DEBUG] TComPort Device closed by deviceremovecomplete",
    "[DEBUG] TComPort Close.1",
    "[DEBUG] TComPort Close.2",
    "[DEBUG] TComPort Close.3",
};

TEST_F(ComPortTest, RemovalDuringAReadClosesThePortAndTheDeviceComesBack) {
  TPtyDevice dev(3);
  TComPort port(Params(3, 200));
  port.Open();
  port.SetCmdTimeout(3000);
  dev.Run({pty::Expect(Bytes("05")), pty::Remove().After(100)});
  Log();
  port.Write(Bytes("05"));
  char c = 'z';
  const auto start = Clock::now();
  EXPECT_EQ(CodeOf([&] { port.ReadChar(c); }), -1);
  EXPECT_LT(MsSince(start), 2000);  // not the 3 s of the read
  EXPECT_EQ(c, 'z');
  EXPECT_FALSE(port.GetOpened());
  Lines expected = kRemovalLines;
  expected.push_back("[ERROR] TComPort ReadFile ERROR: 0x00000005, Input/output error");
  EXPECT_EQ(Log(), expected);
  EXPECT_TRUE(dev.Finish());

  // Absent: -2. Back: the next open works and so does the line.
  EXPECT_EQ(CodeOf([&] { port.Open(); }), -2);
  EXPECT_FALSE(port.GetOpened());
  dev.Restore();
  port.Open();
  EXPECT_TRUE(port.GetOpened());
  dev.Run({pty::Exchange(Bytes("05"), Bytes("15"))});
  port.Write(Bytes("05"));
  EXPECT_TRUE(port.ReadChar(c));
  EXPECT_EQ(c, '\x15');
  EXPECT_TRUE(dev.Finish());
}

TEST_F(ComPortTest, RemovalIsFoundByEveryOperation) {
  struct Case {
    const char* Name;
    const char* Operation;
    void (*Call)(TComPort&);
  };
  const Case cases[] = {
      {"Write", "WriteFile", [](TComPort& p) { p.Write("x"); }},
      {"Purge", "PurgeComm", [](TComPort& p) { p.Purge(); }},
      {"Read", "ReadFile", [](TComPort& p) { p.Read(1); }},
      {"ReadEx", "ReadFile", [](TComPort& p) { p.ReadEx(1, 1000); }},
      {"ReadChar", "ReadFile",
       [](TComPort& p) {
         char c;
         p.ReadChar(c);
       }},
  };
  TPtyDevice dev(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    dev.Restore();
    TComPort port(Params(3, 200));
    port.Open();
    port.SetCmdTimeout(1000);
    dev.Remove();
    Log();
    EXPECT_EQ(CodeOf([&] { c.Call(port); }), -1);
    EXPECT_FALSE(port.GetOpened());
    Lines expected = kRemovalLines;
    expected.push_back(std::string("[ERROR] TComPort ") + c.Operation + " ERROR: 0x00000005, Input/output error");
    EXPECT_EQ(Log(), expected);  // and no attempt to reopen
  }
}

}  // namespace
