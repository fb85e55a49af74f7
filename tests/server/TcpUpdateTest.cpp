// TTCPServer brings the listener to the wanted state: it keeps what already
// runs, asks before it disconnects clients, and reports a listener that could
// not start or stop instead of failing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "Wait.h"
#include "halden/server/Halden.h"
#include "halden/server/JsonRpcClient.h"
#include "halden/server/TcpServer.h"

namespace {

// A connected client on its own thread: it creates an object, then answers
// the test's requests until it is told to stop or the server drops it.
class TBackgroundClient {
 public:
  explicit TBackgroundClient(int Port) {
    FThread = std::thread([this, Port] {
      try {
        TJsonRpcClient rpc("127.0.0.1", Port);
        rpc.SetTimeout(20000);
        FObject = rpc.Call("Create").value("object").toInt();
        FReady = true;
        while (!FStop) {
          if (FPing) {
            rpc.Call("UnlockPort", {{"object", FObject}});
            ++FPings;
            FPing = false;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      } catch (const std::exception&) {
        FDropped = true;
      }
      FReady = true;
      FEnded = true;
    });
    EXPECT_TRUE(WaitFor([&] { return FReady.load(); }));
  }
  ~TBackgroundClient() {
    FStop = true;
    WaitFor([&] { return FEnded.load(); });
    FThread.join();
  }
  // Makes one call through the connection; false when it is gone.
  bool Ping() {
    const int before = FPings;
    FPing = true;
    return WaitFor([&] { return FPings > before || FDropped; }) && !FDropped;
  }

 private:
  std::thread FThread;
  int FObject = 0;
  std::atomic<bool> FReady{false}, FStop{false}, FPing{false}, FDropped{false}, FEnded{false};
  std::atomic<int> FPings{0};
};

class TcpServerUpdate : public ::testing::Test {
 protected:
  TcpServerUpdate()
      : FServer(
            [this](const std::string& Question) {
              FQuestions.push_back(Question);
              return FAnswer;
            },
            Options()) {}
  static TDispatcherOptions Options() {
    TDispatcherOptions options;
    options.AnyFreePort = true;
    return options;
  }
  void TearDown() override {
    FServer.Stop();
    EXPECT_EQ(THalden::ObjectCount(), 0);
  }

  std::vector<std::string> FQuestions;
  bool FAnswer = false;
  TTCPServer FServer;
};

const char* const kQuestion = "К серверу подключены клиенты и они будут отключены.\nВы уверены ?";

TEST_F(TcpServerUpdate, StartsDisabledOnTheDefaultPort) {
  EXPECT_FALSE(FServer.Enabled());
  EXPECT_EQ(FServer.Port(), 211);
  EXPECT_TRUE(FServer.Update());
  EXPECT_FALSE(FServer.Active());
  EXPECT_EQ(FServer.LocalPort(), 0);
}

TEST_F(TcpServerUpdate, ApplyingWhatRunsKeepsTheListenerAndItsConnections) {
  ASSERT_TRUE(FServer.Update(true, 0));
  ASSERT_TRUE(FServer.Active()) << FServer.LastError();
  const int port = FServer.LocalPort();
  TBackgroundClient client(port);
  EXPECT_TRUE(FServer.Update(true, 0));
  EXPECT_TRUE(FServer.Update());
  EXPECT_EQ(FServer.LocalPort(), port);
  EXPECT_TRUE(FQuestions.empty());
  EXPECT_EQ(FServer.ActiveConnections(), 1);
  EXPECT_TRUE(client.Ping());
}

TEST_F(TcpServerUpdate, ChangingThePortWithClientsAsksAndNoKeepsEverything) {
  ASSERT_TRUE(FServer.Update(true, 0));
  const int port = FServer.LocalPort();
  TBackgroundClient client(port);
  FAnswer = false;
  EXPECT_FALSE(FServer.Update(true, 2002));
  EXPECT_EQ(FQuestions, std::vector<std::string>{kQuestion});
  // The wanted state is the old one again, and the old listener serves on.
  EXPECT_EQ(FServer.Port(), 0);
  EXPECT_TRUE(FServer.Enabled());
  EXPECT_EQ(FServer.LocalPort(), port);
  EXPECT_TRUE(client.Ping());
  // Switching off asks too.
  EXPECT_FALSE(FServer.Update(false, 0));
  EXPECT_EQ(FQuestions.size(), 2u);
  EXPECT_TRUE(FServer.Active());
  EXPECT_TRUE(client.Ping());
}

TEST_F(TcpServerUpdate, YesDisconnectsTheClientsAndReleasesTheirObjects) {
  ASSERT_TRUE(FServer.Update(true, 0));
  TBackgroundClient client(FServer.LocalPort());
  EXPECT_EQ(THalden::ObjectCount(), 1);
  FAnswer = true;
  EXPECT_TRUE(FServer.Update(false, 0));
  EXPECT_EQ(FQuestions.size(), 1u);
  EXPECT_FALSE(FServer.Active());
  EXPECT_EQ(FServer.LastError(), "");
  EXPECT_EQ(THalden::ObjectCount(), 0);
  EXPECT_FALSE(client.Ping());
}

TEST_F(TcpServerUpdate, WithoutClientsNothingIsAsked) {
  ASSERT_TRUE(FServer.Update(true, 0));
  EXPECT_TRUE(FServer.Update(false, 0));
  EXPECT_FALSE(FServer.Active());
  EXPECT_TRUE(FQuestions.empty());
}

// A listening socket on all IPv4 addresses at a free port.
class TBlocker {
 public:
  TBlocker() : FFd(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    EXPECT_EQ(::bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(FFd, 1), 0);
    socklen_t length = sizeof(address);
    getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
  }
  ~TBlocker() { Close(); }
  void Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
  }
  int Port() const { return FPort; }

 private:
  int FFd;
  int FPort = 0;
};

TEST_F(TcpServerUpdate, APortInUseIsReportedAndTheNextUpdateTriesAgain) {
  TBlocker blocker;
  EXPECT_TRUE(FServer.Update(true, blocker.Port()));
  EXPECT_FALSE(FServer.Active());
  EXPECT_EQ(FServer.LastError().rfind(
                "Не удается открыть порт TCP " + std::to_string(blocker.Port()) + ": ", 0),
            0u)
      << FServer.LastError();
  // The wanted state stays as asked: one failed start does not switch it off.
  EXPECT_TRUE(FServer.Enabled());
  blocker.Close();
  EXPECT_TRUE(FServer.Update());
  EXPECT_TRUE(FServer.Active()) << FServer.LastError();
  EXPECT_EQ(FServer.LocalPort(), blocker.Port());
  EXPECT_EQ(FServer.LastError(), "");
}

TEST_F(TcpServerUpdate, PortsOutsideTheirRangeAreRefused) {
  TTCPServer strict;  // port 0 is no port here
  for (const int port : {0, -1, 65536, 70000, -65535}) {
    EXPECT_TRUE(strict.Update(true, port));
    EXPECT_FALSE(strict.Active()) << port;
    EXPECT_EQ(strict.LastError(), "Недопустимый номер порта TCP: " + std::to_string(port) +
                                      " (допустимо от 1 до 65535)");
  }
}

TEST(TcpListenError, APrivilegedPortSaysWhatItNeeds) {
  const std::string privileged =
      "Не удается открыть порт TCP 80: для портов ниже 1024 нужны права администратора";
  EXPECT_EQ(TcpListenErrorText(80, EACCES), privileged);
  EXPECT_EQ(TcpListenErrorText(80, EPERM), privileged);
  EXPECT_EQ(TcpListenErrorText(2002, EACCES),
            "Не удается открыть порт TCP 2002: " + std::string(std::strerror(EACCES)));
  EXPECT_EQ(TcpListenErrorText(211, EADDRINUSE),
            "Не удается открыть порт TCP 211: " + std::string(std::strerror(EADDRINUSE)));
  // Where the tests run without the right to bind port 1, the real thing.
  int unprivilegedStart = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> unprivilegedStart;
  if (geteuid() != 0 && unprivilegedStart > 1) {
    TTCPServer server;
    EXPECT_TRUE(server.Update(true, 1));
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.LastError(),
              "Не удается открыть порт TCP 1: для портов ниже 1024 нужны права администратора");
  }
}

TEST_F(TcpServerUpdate, StoppingWhileOtherObjectsLiveTimesOut) {
  ASSERT_TRUE(FServer.Update(true, 0));
  auto local = std::make_unique<THalden>();  // a client that did not come over TCP
  {
    TBackgroundClient client(FServer.LocalPort());
    FAnswer = true;
    EXPECT_TRUE(FServer.Update(false, 0));
    EXPECT_EQ(FServer.LastError(), "Истек таймаут. Не удается закрыть COM вызов");
    EXPECT_FALSE(FServer.Active());
    // The connection is closed all the same, and its object released.
    EXPECT_FALSE(client.Ping());
  }
  EXPECT_EQ(THalden::ObjectCount(), 1);
  local.reset();
  // Listening again works.
  EXPECT_TRUE(FServer.Update(true, 0));
  EXPECT_TRUE(FServer.Active());
}

}  // namespace
