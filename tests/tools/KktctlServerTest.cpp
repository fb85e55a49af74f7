// kktctl send --server: the same command through a Halden dispatcher that
// runs inside the test on a free loopback port, with the test's main thread
// serving the calls and a pty device as the KKT.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <thread>

#include "halden/server/Clients.h"
#include "halden/server/Halden.h"
#include "halden/server/TcpServer.h"
#include "server/Wait.h"
#include "support/PtyDevice.h"
#include "support/RunProgram.h"

namespace {

using pty::Bytes;

class KktctlServer : public ::testing::Test {
 protected:
  KktctlServer() {
    TDispatcherOptions options;
    options.AnyFreePort = true;
    FDispatcher = std::make_unique<TSocketDispatcher>(0, options);
    FServer = "127.0.0.1:" + std::to_string(FDispatcher->LocalPort());
  }
  ~KktctlServer() override {
    FDispatcher.reset();
    EXPECT_EQ(THalden::ObjectCount(), 0);
  }

  // Runs kktctl while this thread serves the dispatcher's calls.
  TProgramResult Run(const std::vector<std::string>& Args) {
    TProgramResult result;
    std::atomic<bool> done{false};
    std::thread program([&] {
      result = RunProgram("kktctl", Args, {{"LANGUAGE", "ru"}});
      done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return done.load(); }, 30000));
    program.join();
    return result;
  }

  int FArgc = 1;
  char FArg0[8] = "test";
  char* FArgv[2] = {FArg0, nullptr};
  QCoreApplication FApp{FArgc, FArgv};
  std::unique_ptr<TSocketDispatcher> FDispatcher;
  std::string FServer;
};

TEST_F(KktctlServer, SendsTheCommandThroughHaldenAndPrintsTheSameLines) {
  TPtyDevice dev(5);
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(Bytes("02 03 41 42 43 43"), Bytes("06")),
      pty::Reply(Bytes("02 02 41 05 46")),
      pty::Expect(Bytes("06")),
  });
  // Who connected, as the client list saw it.
  struct TSeen {
    std::string App, Comp;
    uint32_t Pid = 0;
  } seen;
  TClientsLink clients;
  clients->SetOnChange([&](THalden* Sender, TChangeType Change) {
    if (Change == ctInsert) seen = {Sender->AppName(), Sender->CompName(), Sender->AppPID()};
  });
  const auto r = Run({"send", "--server", FServer, "--port", "5", "--raw", "414243"});
  clients->SetOnChange(nullptr);
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "tx: 020341424343\nrx: 0202410546\nanswer: 4105\nresult: 5\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(seen.App, "kktctl");
  char host[HOST_NAME_MAX + 1] = {};
  gethostname(host, sizeof(host) - 1);
  EXPECT_EQ(seen.Comp, std::string(host).substr(0, std::string(host).find('.')));
  EXPECT_NE(seen.Pid, 0u);
  EXPECT_NE(seen.Pid, static_cast<uint32_t>(getpid()));
}

TEST_F(KktctlServer, AHaldenLockConflictIsShownWithTheHoldersDetails) {
  TPtyDevice dev(6);
  THalden holder;
  holder.Connect(4120, "cash.exe", "POS1");
  ASSERT_EQ(holder.LockPort(6), 0);
  const auto r = Run({"send", "--server", FServer, "--port", "6", "414243"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "error -18: Порт заблокирован POS1.4120.'cash.exe'\n");
  EXPECT_EQ(r.Out, "");
  // kktctl's object is gone: only the holder is left.
  EXPECT_TRUE(WaitFor([] { return THalden::ObjectCount() == 1; }));
}

TEST_F(KktctlServer, FailuresOfThePortAndTheLineShowTheirCodes) {
  TPtyDevice silent(7);
  silent.Run({pty::Silence(20000)});
  TPtyDevice absent(8);
  absent.Remove();
  struct TCase {
    std::vector<std::string> Args;
    std::string Err;
  };
  const std::vector<TCase> cases = {
      {{"--port", "7", "--timeout", "20", "0102"}, "error -1: Нет связи\n"},
      {{"--port", "8", "0102"}, "error -2: СOM порт недоступен\n"},
      {{"--port", "7", "4G"}, "error -8: Неверный формат данных\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"send", "--server", FServer};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const auto r = Run(args);
    EXPECT_EQ(r.Status, 1) << testing::PrintToString(c.Args);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(r.Out, "");
  }
}

TEST_F(KktctlServer, AServerThatIsNotThereIsNoConnection) {
  // A port that was free a moment ago and has no listener now.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  socklen_t length = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const auto r = Run({"send", "--server", server, "--port", "3", "0102"});
  ::close(fd);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err.rfind("error -1: Нет связи с сервером " + server + ": ", 0), 0u) << r.Err;
}

TEST_F(KktctlServer, BadServerArgumentsPrintUsageAndExitWith2) {
  const std::vector<std::vector<std::string>> cases = {
      {"send", "--port", "3", "--server"},
      {"send", "--server", "localhost:0", "--port", "3", "41"},
      {"send", "--server", "localhost:65536", "--port", "3", "41"},
      {"send", "--server", "localhost:x", "--port", "3", "41"},
      {"send", "--server", "localhost:", "--port", "3", "41"},
      {"send", "--server", ":211", "--port", "3", "41"},
      {"send", "--server", "[::1", "--port", "3", "41"},
      {"send", "--server", "localhost:211", "41"},  // no port number
  };
  for (const auto& args : cases) {
    const auto r = Run(args);
    EXPECT_EQ(r.Status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.Err.find("kktctl send --server"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
}

TEST_F(KktctlServer, TheDefaultServerPortIs211) {
  TDispatcherOptions options;
  std::unique_ptr<TSocketDispatcher> standard;
  try {
    standard = std::make_unique<TSocketDispatcher>(211, options);
  } catch (const ETCPServerError& e) {
    GTEST_SKIP() << "port 211 is not available here: " << e.what();
  }
  TPtyDevice dev(9);
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(Bytes("02 01 11 10"), Bytes("06")),
      pty::Reply(Bytes("02 02 11 00 13")),
      pty::Expect(Bytes("06")),
  });
  const auto r = Run({"send", "--server", "localhost", "--port", "9", "11"});
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "answer: 1100\nresult: 0\n");
}

}  // namespace
