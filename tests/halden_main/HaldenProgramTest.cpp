// The program halden as a user starts it on a machine without a display: it
// says so, serves without a window, reports a start-up error with a non-zero
// status and ends cleanly on SIGTERM and SIGINT.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BusyPort.h"
#include "common/text/Intl.h"
#include "halden/server/JsonRpcClient.h"
#include "support/TempDir.h"

namespace {

// halden running headless with settings of its own; killed if a test leaves
// it running.
class THaldenProcess {
 public:
  THaldenProcess(const std::filesystem::path& Config, const std::vector<std::string>& Args) {
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return;
    const std::string program = varkon::ExecutableDir() + "/halden";
    FPid = fork();
    if (FPid == 0) {
      dup2(err[1], 2);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      unsetenv("QT_QPA_PLATFORM");
      setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(err[1]);
    FErr = err[0];
  }
  ~THaldenProcess() {
    if (FPid > 0 && !FEnded) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    if (FErr >= 0) close(FErr);
  }

  // Reads standard error until it holds Text or the process ended.
  bool WaitForError(const std::string& Text, int LimitMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs);
    while (Err.find(Text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{FErr, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(FErr, buffer, sizeof buffer);
      if (n <= 0) return Err.find(Text) != std::string::npos;
      Err.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  // The exit status, or -1 when it did not exit by itself within the limit
  // (it is killed then) or ended by a signal.
  int Wait(int LimitMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs);
    int status = 0;
    while (waitpid(FPid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        kill(FPid, SIGKILL);
        waitpid(FPid, &status, 0);
        FEnded = true;
        return -1;
      }
      WaitForError("\x01", 20);  // collects what it prints meanwhile
    }
    FEnded = true;
    WaitForError("\x01", 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Signal(int Number) { kill(FPid, Number); }

  std::string Err;

 private:
  pid_t FPid = -1;
  int FErr = -1;
  bool FEnded = false;
};

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

class HaldenHeadless : public ::testing::TestWithParam<int> {};

TEST_P(HaldenHeadless, SaysSoServesAndEndsCleanlyOnTheSignal) {
  TempDir config;
  THaldenProcess halden(config.path(), {"/t0", "/a", "/p20"});
  ASSERT_TRUE(halden.WaitForError("offscreen")) << halden.Err;
  ASSERT_TRUE(halden.WaitForError("TCP выключен")) << halden.Err;
  // The start-up apply stored the switches.
  const std::string file = ReadFile(config.path() / "Varkon" / "Tessel.conf");
  EXPECT_NE(file.find("CloseTimeout=20000"), std::string::npos) << file;
  halden.Signal(GetParam());
  EXPECT_EQ(halden.Wait(), 0) << halden.Err;
}

INSTANTIATE_TEST_SUITE_P(Program, HaldenHeadless, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& Info) {
                           return std::string(Info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

TEST(HaldenProgram, OutOfRangeSwitchIsReportedAndTheDefaultUsed) {
  TempDir config;
  THaldenProcess halden(config.path(), {"/p40000"});
  ASSERT_TRUE(halden.WaitForError("/p40000")) << halden.Err;
  ASSERT_TRUE(halden.WaitForError("TCP выключен")) << halden.Err;
  const std::string file = ReadFile(config.path() / "Varkon" / "Tessel.conf");
  EXPECT_NE(file.find("CloseTimeout=10000"), std::string::npos) << file;
  halden.Signal(SIGTERM);
  EXPECT_EQ(halden.Wait(), 0) << halden.Err;
}

TEST(HaldenProgram, ADamagedSettingsFileIsReportedAndLeftUntouched) {
  TempDir config;
  const std::filesystem::path file = config.path() / "Varkon" / "Tessel.conf";
  std::filesystem::create_directories(file.parent_path());
  const std::string text = "[A4]\nParams\\TCPPort=two thousand\n";
  std::ofstream(file, std::ios::binary) << text;
  THaldenProcess halden(config.path(), {});
  ASSERT_TRUE(halden.WaitForError("TCPPort=two thousand")) << halden.Err;
  ASSERT_TRUE(halden.WaitForError("TCP выключен")) << halden.Err;
  halden.Signal(SIGTERM);
  EXPECT_EQ(halden.Wait(), 0) << halden.Err;
  EXPECT_EQ(ReadFile(file), text);
}

TEST(HaldenProgram, APortInUseAtStartEndsWithANonZeroStatus) {
  TempDir config;
  TBusyPort busy;
  const std::string port = std::to_string(busy.Port());
  THaldenProcess halden(config.path(), {"/t" + port});
  EXPECT_EQ(halden.Wait(), 1) << halden.Err;
  EXPECT_NE(halden.Err.find(port), std::string::npos) << halden.Err;
  // The stored choice stays for the next start.
  const std::string file = ReadFile(config.path() / "Varkon" / "Tessel.conf");
  EXPECT_NE(file.find("TCPEnabled=true"), std::string::npos) << file;
}

TEST(HaldenProgram, ServesOverTcpAndEndsCleanlyWithAClientHoldingALock) {
  TempDir config;
  const int port = FreePort();
  THaldenProcess halden(config.path(), {"/t" + std::to_string(port)});
  ASSERT_TRUE(halden.WaitForError("TCP сервер слушает порт " + std::to_string(port))) << halden.Err;
  TJsonRpcClient rpc("127.0.0.1", port);
  rpc.SetTimeout(20000);
  const int object = rpc.Call("Create").value("object").toInt();
  rpc.Call(
      "Connect",
      {{"object", object}, {"AAppPID", 4120}, {"AAppName", "cash.exe"}, {"ACompName", "POS1"}});
  EXPECT_EQ(rpc.Call("LockPort", {{"object", object}, {"PortNumber", 7}}).value("Value").toInt(),
            0);
  halden.Signal(SIGTERM);
  EXPECT_EQ(halden.Wait(), 0) << halden.Err;
  EXPECT_EQ(halden.Err.find("Sanitizer"), std::string::npos) << halden.Err;
}
