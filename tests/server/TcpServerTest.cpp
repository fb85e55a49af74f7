// Halden's TCP dispatcher over real loopback TCP: clients on their own
// threads speak JSON-RPC lines to a listener on a free port, while the test's
// main thread serves their calls (as Halden's main thread does) and a pty
// device plays the KKT behind the served ports.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonObject>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Wait.h"
#include "common/text/Hex.h"
#include "halden/server/Halden.h"
#include "halden/server/JsonRpcClient.h"
#include "halden/server/PrinterPorts.h"
#include "halden/server/TcpServer.h"
#include "support/PtyDevice.h"

namespace {

using pty::Bytes;

// Runs Body on a thread of its own (the clients) while this thread, the main
// one, processes the events that carry the clients' calls.
void WithClients(const std::function<void()>& Body) {
  std::atomic<bool> done{false};
  std::thread clients([&] {
    try {
      Body();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "client failed: " << e.what();
    }
    done = true;
  });
  const bool ended = WaitFor([&] { return done.load(); }, 60000);
  clients.join();
  EXPECT_TRUE(ended);
}

// A standard-protocol device that answers every command at once: ENQ gets
// NAK (ready), a frame gets ACK and the answer frame that Answer chooses.
class TInstantDevice {
 public:
  using TAnswer = std::function<std::string(const std::string& Command)>;

  explicit TInstantDevice(TAnswer Answer) : FAnswer(std::move(Answer)) {}

  std::string operator()(std::string_view Chunk) {
    FIn.append(Chunk);
    std::string out;
    while (!FIn.empty()) {
      const unsigned char c = static_cast<unsigned char>(FIn[0]);
      if (c == 0x02) {
        if (FIn.size() < 2) break;
        const std::size_t length = static_cast<unsigned char>(FIn[1]);
        if (FIn.size() < length + 3) break;
        const std::string command = FIn.substr(2, length);
        FIn.erase(0, length + 3);
        {
          std::lock_guard<std::mutex> guard(FLock);
          FCommands.push_back(varkon::HexLower(command.substr(0, 1)));
        }
        out += '\x06' + Frame(FAnswer(command));
        continue;
      }
      if (c == 0x05) out += '\x15';
      FIn.erase(0, 1);
    }
    return out;
  }

  static std::string Frame(const std::string& Data) {
    std::string frame = "\x02" + std::string(1, static_cast<char>(Data.size())) + Data;
    char lrc = static_cast<char>(Data.size());
    for (char c : Data) lrc ^= c;
    return frame + lrc;
  }

  // The command codes received, in order, as hexadecimal text.
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> guard(FLock);
    return FCommands;
  }

 private:
  TAnswer FAnswer;
  std::string FIn;
  std::mutex FLock;
  std::vector<std::string> FCommands;
};

// The status answer to 0x11 with the device's mode.
std::string StatusWithMode(unsigned char Mode) {
  std::string answer("\x11\x00", 2);
  answer += std::string(50, '\0');
  answer[2 + 15] = static_cast<char>(Mode);
  return answer;
}

// A server object's handle and the calls a test makes on it.
class TClient {
 public:
  explicit TClient(int Port) : FRpc("127.0.0.1", Port) {
    FRpc.SetTimeout(20000);
    FObject = FRpc.Call("Create", {{"class", "HaldenLib.Halden"}}).value("object").toInt();
  }

  // The Value of a member call with the object's handle added.
  QJsonValue Value(const std::string& Method, QJsonObject Params = {}) {
    return Result(Method, std::move(Params)).value("Value");
  }
  QJsonObject Result(const std::string& Method, QJsonObject Params = {}) {
    Params.insert("object", FObject);
    return FRpc.Call(Method, Params);
  }
  int Int(const std::string& Method, QJsonObject Params = {}) {
    return Value(Method, std::move(Params)).toInt(-999);
  }
  std::string Text(const std::string& Method) { return Value(Method).toString().toStdString(); }

  TJsonRpcClient& Rpc() { return FRpc; }
  int Object() const { return FObject; }

 private:
  TJsonRpcClient FRpc;
  int FObject = 0;
};

class TcpDispatcher : public ::testing::Test {
 protected:
  static TDispatcherOptions Options() {
    TDispatcherOptions options;
    options.AnyFreePort = true;
    return options;
  }
  void TearDown() override {
    FDispatcher.reset();
    FPorts->SetSettings({});
    EXPECT_EQ(THalden::ObjectCount(), 0);
  }

  TPrinterPortsLink FPorts;
  std::unique_ptr<TSocketDispatcher> FDispatcher =
      std::make_unique<TSocketDispatcher>(0, Options());
  const int FPort = FDispatcher->LocalPort();
};

TEST_F(TcpDispatcher, AFullSessionCarriesTheCommandToTheLineAndTheAnswerBack) {
  TPtyDevice dev(3);
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(Bytes("02 03 41 42 43 43"), Bytes("06")),
      pty::Reply(Bytes("02 02 41 05 46")),
      pty::Expect(Bytes("06")),
  });
  WithClients([&] {
    TClient c(FPort);
    EXPECT_EQ(c.Object(), 1);
    EXPECT_EQ(
        c.Int("Connect", {{"AAppPID", 4120}, {"AAppName", "cash.exe"}, {"ACompName", "POS1"}}), 0);
    EXPECT_EQ(c.Int("OpenPort", {{"PortNumber", 3}, {"BaudRate", 6}, {"Timeout", 1000}}), 0);
    EXPECT_EQ(c.Int("LockPort", {{"PortNumber", 3}}), 0);
    const QJsonObject sent = c.Result("SendData", {{"CmdTimeout", 10000}, {"TxData", "414243"}});
    EXPECT_EQ(sent.value("Value").toString(), "4105");
    EXPECT_EQ(sent.value("ResultCode").toInt(-1), 5);
    EXPECT_EQ(c.Int("ResultCode"), 5);
    EXPECT_EQ(c.Text("RawTxData"), "020341424343");
    EXPECT_EQ(c.Text("RawAnswer"), "0202410546");
    EXPECT_EQ(c.Int("UnlockPort"), 0);
    EXPECT_EQ(c.Int("ClosePort"), 0);
    EXPECT_EQ(c.Text("ResultDescription"), "Ошибок нет");
    EXPECT_EQ(c.Result("Release").size(), 0);
    EXPECT_EQ(THalden::ObjectCount(), 0);
  });
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(varkon::HexSpaced(dev.Received()), "05 02 03 41 42 43 43 06");
}

TEST_F(TcpDispatcher, TwoConnectionsContendForOnePort) {
  TPtyDevice dev(4);
  WithClients([&] {
    TClient a(FPort), b(FPort);
    a.Int("Connect", {{"AAppPID", 4120}, {"AAppName", "cash.exe"}, {"ACompName", "POS1"}});
    b.Int("Connect", {{"AAppPID", 77}, {"AAppName", "other"}, {"ACompName", "POS2"}});
    // Each connection has handles of its own.
    EXPECT_EQ(a.Object(), 1);
    EXPECT_EQ(b.Object(), 1);
    EXPECT_EQ(a.Int("LockPort", {{"PortNumber", 4}}), 0);
    EXPECT_EQ(b.Int("LockPort", {{"PortNumber", 4}}), -18);
    EXPECT_EQ(b.Text("ResultDescription"), "Порт заблокирован POS1.4120.'cash.exe'");
    EXPECT_EQ(b.Int("UnlockPort"), -18);
    EXPECT_EQ(a.Int("UnlockPort"), 0);
    EXPECT_EQ(b.Int("LockPort", {{"PortNumber", 4}}), 0);
  });
}

TEST_F(TcpDispatcher, AClientThatDropsItsConnectionLosesItsLockAndItsOpenReceipt) {
  FPorts->SetSettings({false, true, 10000});  // AutoRecCancel
  TPtyDevice dev(5);
  TInstantDevice device([](const std::string& Command) {
    if (Command[0] == '\x11') return StatusWithMode(8);  // a receipt is open
    return Command.substr(0, 1) + std::string(1, '\0');
  });
  dev.Serve(std::ref(device));
  WithClients([&] {
    auto a = std::make_unique<TClient>(FPort);
    a->Int("Connect", {{"AAppPID", 1}, {"AAppName", "cash.exe"}, {"ACompName", "POS1"}});
    EXPECT_EQ(a->Int("OpenPort", {{"PortNumber", 5}, {"BaudRate", 6}, {"Timeout", 1000}}), 0);
    EXPECT_EQ(a->Int("LockPort", {{"PortNumber", 5}}), 0);
    EXPECT_EQ(a->Value("SendData", {{"CmdTimeout", 1000}, {"TxData", "8d1e000000"}}), "8d00");
    EXPECT_EQ(a->Int("OpenCheck", {{"PortNumber", 5}, {"Password", 30}}), 0);
    a->Rpc().Close();  // gone without a word
    a.reset();
  });
  // The main thread releases the dropped client's object: the port goes with
  // its last hold, so its serial port is closed.
  EXPECT_TRUE(WaitFor([&] { return THalden::ObjectCount() == 0 && !FPorts->ItemByPortNumber(5); }));
  EXPECT_EQ(device.Commands(), (std::vector<std::string>{"8d", "11", "88"}));
  WithClients([&] {
    TClient b(FPort);
    EXPECT_EQ(b.Int("LockPort", {{"PortNumber", 5}}), 0);
  });
}

TEST_F(TcpDispatcher, ANotificationIsCarriedOutWithoutAResponse) {
  WithClients([&] {
    TClient a(FPort), b(FPort);
    a.Rpc().Notify("LockPort", {{"object", a.Object()}, {"PortNumber", 6}});
    a.Rpc().Notify("NoSuchMember", {{"object", a.Object()}});
    // The next line a reads answers its next request.
    a.Rpc().SendLine(R"({"jsonrpc":"2.0","id":"x","method":"UnlockPort","params":{"object":1}})");
    EXPECT_EQ(a.Rpc().ReadLine().value_or(""),
              R"({"jsonrpc":"2.0","id":"x","result":{"Value":0}})");
    a.Rpc().Notify("LockPort", {{"object", a.Object()}, {"PortNumber", 6}});
    // A connection serves its lines in order: once a request sent after the
    // notification is answered, the notification has been carried out.
    EXPECT_EQ(a.Int("ResultCode"), 0);
    EXPECT_EQ(b.Int("LockPort", {{"PortNumber", 6}}), -18);
  });
}

TEST_F(TcpDispatcher, BadRequestsGetTheirErrorsAndTheConnectionStaysUsable) {
  WithClients([&] {
    TClient c(FPort);
    struct TCase {
      std::string Line;
      int Code;
    };
    const std::vector<TCase> cases = {
        {"{not json", -32700},
        {R"({"jsonrpc":"2.0","id":1,"method":"Frobnicate","params":{"object":1}})", -32601},
        {R"({"jsonrpc":"2.0","id":1,"method":"LockPort","params":{"object":1,"PortNumber":"7"}})",
         -32602},
        {R"({"jsonrpc":"2.0","id":1,"method":"LockPort","params":{"object":2,"PortNumber":7}})",
         -32602},
        {R"([{"jsonrpc":"2.0","id":1,"method":"UnlockPort","params":{"object":1}}])", -32600},
    };
    for (const auto& k : cases) {
      c.Rpc().SendLine(k.Line);
      const std::string response = c.Rpc().ReadLine().value_or("");
      EXPECT_NE(response.find("\"code\":" + std::to_string(k.Code)), std::string::npos)
          << k.Line << " -> " << response;
    }
    EXPECT_EQ(c.Int("UnlockPort"), 0);
  });
}

TEST_F(TcpDispatcher, ALineLongerThanOneMebibyteIsRefusedAndTheConnectionClosed) {
  WithClients([&] {
    TClient c(FPort);
    // Exactly at the limit: an ordinary (unparsable) line.
    c.Rpc().SendLine(std::string(JsonRpc::MaxLineLength, 'x'));
    EXPECT_NE(c.Rpc().ReadLine().value_or("").find("\"code\":-32700"), std::string::npos);
    EXPECT_EQ(c.Int("UnlockPort"), 0);
    // One byte more.
    c.Rpc().SendLine(std::string(JsonRpc::MaxLineLength + 1, ' '));
    EXPECT_EQ(c.Rpc().ReadLine().value_or(""), JsonRpc::LineTooLongResponse());
    EXPECT_EQ(c.Rpc().ReadLine(), std::nullopt);  // closed
  });
  // Its object went with the connection.
  EXPECT_TRUE(WaitFor([] { return THalden::ObjectCount() == 0; }));
}

TEST(TcpDispatcherIdle, AnIdleConnectionIsClosedAndItsObjectsReleased) {
  TDispatcherOptions options;
  options.AnyFreePort = true;
  options.Times.IdleTimeout = std::chrono::milliseconds(200);
  options.Times.WaitLimit = std::chrono::milliseconds(20);
  TSocketDispatcher dispatcher(0, options);
  std::optional<std::string> last = "";
  WithClients([&] {
    TClient c(dispatcher.LocalPort());
    c.Int("Connect", {{"AAppPID", 1}, {"AAppName", "idle"}, {"ACompName", "POS1"}});
    // Waits (without sending) until the server ends the connection.
    last = c.Rpc().ReadLine();
  });
  EXPECT_EQ(last, std::nullopt);
  EXPECT_TRUE(WaitFor([&] { return dispatcher.ActiveConnections() == 0; }));
  EXPECT_EQ(THalden::ObjectCount(), 0);
}

TEST(TcpDispatcherAddresses, ListensOnAllLocalAddresses) {
  TDispatcherOptions options;
  options.AnyFreePort = true;
  TSocketDispatcher dispatcher(0, options);
  std::vector<std::string> hosts = {"127.0.0.1", "localhost"};
  // Where the machine has IPv6 loopback, it is served too.
  const int probe = ::socket(AF_INET6, SOCK_STREAM, 0);
  sockaddr_in6 loop6{};
  loop6.sin6_family = AF_INET6;
  loop6.sin6_addr = in6addr_loopback;
  if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&loop6), sizeof(loop6)) == 0)
    hosts.push_back("::1");
  if (probe >= 0) ::close(probe);
  for (const auto& host : hosts) {
    WithClients([&] {
      TJsonRpcClient rpc(host, dispatcher.LocalPort());
      rpc.SetTimeout(20000);
      EXPECT_EQ(rpc.Call("Create").value("object").toInt(), 1) << host;
    });
  }
}

}  // namespace
