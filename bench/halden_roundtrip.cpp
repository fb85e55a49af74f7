// Time per exchange of a 5-byte command with a 50-byte answer (standard link
// protocol) with an instant device on a pseudo-terminal, by four roads:
//   - direct: the link layer (TComPort and the protocol) on the pty;
//   - Halden: a TCP client's SendData through Halden's dispatcher on
//     loopback, Halden making the exchange on the pty;
//   - ser2net: a client that runs the standard protocol itself through
//     ser2net in raw TCP mode on the same kind of pty, so every turn of the
//     handshake crosses the network; with the character delay off (as low as
//     it goes) and, for comparison, at ser2net's default;
//   - the aggregate rate of 8 Halden clients on 8 ports at once.
// Goals: Halden at least 3x faster than the ser2net road and within 2x of the
// direct exchange. The program prints figures and never fails on speed; a
// road that cannot run (ser2net missing) is reported and skipped.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonObject>
#include <QMetaObject>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/text/Hex.h"
#include "halden/link/ComPort.h"
#include "halden/link/PrinterProtocol.h"
#include "halden/server/JsonRpcClient.h"
#include "halden/server/TcpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

int gCount = 2000;  // exchanges per figure; the first argument may change it
constexpr int kWarmUp = 100;
constexpr int kClients = 8;
constexpr int kFirstCom = 11;

const std::string kCommand = "\x11\x01\x02\x03\x04";  // 5 bytes

std::string AnswerBlock() {
  std::string answer = "\x11";
  answer.push_back('\0');
  for (int i = 0; answer.size() < 50; ++i) answer.push_back(static_cast<char>(0x20 + i));
  return answer;
}

std::string StdFrame(const std::string& Data) {
  char lrc = static_cast<char>(Data.size());
  for (char c : Data) lrc ^= c;
  std::string frame(1, '\x02');
  frame.push_back(static_cast<char>(Data.size()));
  frame.append(Data);
  frame.push_back(lrc);
  return frame;
}

double Since(Clock::time_point From) {
  return std::chrono::duration<double>(Clock::now() - From).count();
}

// A pseudo-terminal pair whose master a thread serves as an instant device:
// ENQ gets NAK, a frame gets ACK and the answer frame at once.
class TInstantDevice {
 public:
  TInstantDevice() {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) std::abort();
    FSlavePath = ptsname(FMaster);
    // One slave descriptor stays open, so the line never hangs up between
    // users, and the line is raw from the start.
    FKeep = open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(FKeep, &t);
    cfmakeraw(&t);
    tcsetattr(FKeep, TCSANOW, &t);
    FThread = std::thread([this] { Serve(); });
  }
  ~TInstantDevice() {
    FStop = true;
    FThread.join();
    close(FKeep);
    close(FMaster);
  }
  const std::string& SlavePath() const { return FSlavePath; }

 private:
  void Serve() {
    std::string answer(1, '\x06');
    answer.append(StdFrame(AnswerBlock()));
    std::string in;
    char buf[4096];
    while (!FStop) {
      pollfd p{FMaster, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = read(FMaster, buf, sizeof buf);
      if (n <= 0) continue;
      in.append(buf, static_cast<std::size_t>(n));
      std::string out;
      while (!in.empty()) {
        if (in[0] == '\x05') {
          out.push_back('\x15');
          in.erase(0, 1);
        } else if (in[0] == '\x02') {
          if (in.size() < 2 || in.size() < 3u + static_cast<unsigned char>(in[1])) break;
          in.erase(0, 3u + static_cast<unsigned char>(in[1]));
          out += answer;
        } else {
          in.erase(0, 1);
        }
      }
      for (std::size_t done = 0; done < out.size();) {
        const ssize_t w = write(FMaster, out.data() + done, out.size() - done);
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
      }
    }
  }

  int FMaster = -1;
  int FKeep = -1;
  std::string FSlavePath;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

void Print(const char* Name, int Count, double Seconds) {
  std::printf("  %-44s %8.1f us/exchange  %8.0f exchanges/s\n", Name, Seconds / Count * 1e6,
              Count / Seconds);
}

// The direct exchange through the link layer; seconds for gCount.
double Direct(int Com) {
  auto params = std::make_shared<TConnectionParams>();
  params->ComNumber = Com;
  params->BaudRate = 6;
  params->Timeout = 1000;
  auto port = std::make_shared<TComPort>(params);
  port->Open();
  TPrinterProtocol link(port, params);
  TCommandRec rec;
  rec.Command = kCommand;
  rec.Timeout = 1000;
  for (int i = 0; i < kWarmUp; ++i) link.Send(rec);
  const auto t0 = Clock::now();
  for (int i = 0; i < gCount; ++i) {
    link.Send(rec);
    if (rec.Answer.size() != 50) std::abort();
  }
  const double seconds = Since(t0);
  port->Close();
  return seconds;
}

// One Halden client on its own port: Count exchanges after the warm-up;
// returns the seconds of the measured ones.
double HaldenClient(int TcpPort, int Com, int Count) {
  TJsonRpcClient rpc("127.0.0.1", TcpPort);
  const int object = rpc.Call("Create").value("object").toInt();
  rpc.Call("OpenPort",
           {{"object", object}, {"PortNumber", Com}, {"BaudRate", 6}, {"Timeout", 1000}});
  const QJsonObject send{{"object", object},
                         {"CmdTimeout", 1000},
                         {"TxData", QString::fromStdString(varkon::HexLower(kCommand))}};
  for (int i = 0; i < kWarmUp; ++i) rpc.Call("SendData", send);
  const auto t0 = Clock::now();
  for (int i = 0; i < Count; ++i) {
    const QJsonObject r = rpc.Call("SendData", send);
    if (r.value("Value").toString().size() != 100) std::abort();
  }
  const double seconds = Since(t0);
  rpc.Call("Release", {{"object", object}});
  return seconds;
}

// The cost of the dispatcher alone: a member call that does not reach the
// device (ResultCode), seconds for Count.
double HaldenCallOnly(int TcpPort, int Count) {
  TJsonRpcClient rpc("127.0.0.1", TcpPort);
  const int object = rpc.Call("Create").value("object").toInt();
  const QJsonObject params{{"object", object}};
  for (int i = 0; i < kWarmUp; ++i) rpc.Call("ResultCode", params);
  const auto t0 = Clock::now();
  for (int i = 0; i < Count; ++i) rpc.Call("ResultCode", params);
  const double seconds = Since(t0);
  rpc.Call("Release", params);
  return seconds;
}

// Runs the clients on threads while this (the main) thread serves Halden.
void ServeWhile(const std::function<void()>& Clients) {
  QEventLoop loop;
  std::thread thread([&] {
    Clients();
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  thread.join();
}

// A TCP port free at this moment.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  socklen_t length = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  close(fd);
  return ntohs(a.sin_port);
}

// ser2net serving the pty in raw TCP mode on a loopback port.
class TSer2net {
 public:
  TSer2net(const std::filesystem::path& Dir, const std::string& Tty, bool CharDelay) {
    FPort = FreePort();
    const auto config = Dir / (CharDelay ? "ser2net-delay.yaml" : "ser2net.yaml");
    std::ofstream(config) << "%YAML 1.1\n---\n"
                          << "connection: &bench\n"
                          << "  accepter: tcp,127.0.0.1," << FPort << "\n"
                          << "  connector: serialdev," << Tty << ",115200n81,local\n"
                          << "  options:\n"
                          << "    kickolduser: true\n"
                          << "    chardelay: " << (CharDelay ? "true" : "false") << "\n";
    FPid = fork();
    if (FPid == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      execlp("ser2net", "ser2net", "-n", "-u", "-c", config.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Waits for its listener, at most 5 s.
    const auto t0 = Clock::now();
    while (Since(t0) < 5) {
      int status = 0;
      if (FPid < 0 || waitpid(FPid, &status, WNOHANG) == FPid) {
        FPid = -1;
        return;
      }
      FFd = Connect();
      if (FFd >= 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~TSer2net() {
    if (FFd >= 0) close(FFd);
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  int Fd() const { return FFd; }

 private:
  int Connect() const {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(FPort));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
      close(fd);
      return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return fd;
  }

  int FPort = 0;
  pid_t FPid = -1;
  int FFd = -1;
};

// Reads exactly Count bytes within 2 s.
bool ReadExactly(int Fd, std::size_t Count) {
  char buf[512];
  std::size_t got = 0;
  while (got < Count) {
    pollfd p{Fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return false;
    const ssize_t n = read(Fd, buf, std::min(sizeof buf, Count - got));
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int Fd, const std::string& Data) {
  return write(Fd, Data.data(), Data.size()) == static_cast<ssize_t>(Data.size());
}

// The standard protocol run by the client over ser2net's byte pipe: ENQ,
// NAK; frame; ACK and answer frame; ACK. Seconds for Count, or below 0 when
// the road failed.
double ThroughSer2net(const TSer2net& Server, int Count) {
  const int fd = Server.Fd();
  const std::string frame = StdFrame(kCommand);
  const std::size_t answerSize = 1 + StdFrame(AnswerBlock()).size();
  auto exchange = [&] {
    return WriteAll(fd, "\x05") && ReadExactly(fd, 1) && WriteAll(fd, frame) &&
           ReadExactly(fd, answerSize) && WriteAll(fd, "\x06");
  };
  for (int i = 0; i < kWarmUp / 10; ++i)
    if (!exchange()) return -1;
  const auto t0 = Clock::now();
  for (int i = 0; i < Count; ++i)
    if (!exchange()) return -1;
  return Since(t0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gCount = std::max(10, std::atoi(argv[1]));
  QCoreApplication app(argc, argv);
  char pattern[] = "/tmp/varkon-bench-halden-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path dir(pattern);

  // One device per COM number; the direct road, Halden's single client and
  // the eight clients each have their own.
  std::vector<std::unique_ptr<TInstantDevice>> devices;
  const auto map = dir / "ports.ini";
  {
    std::ofstream out(map);
    out << "[Ports]\n";
    for (int i = 0; i < kClients + 3; ++i) {
      devices.push_back(std::make_unique<TInstantDevice>());
      out << kFirstCom + i << "=" << devices.back()->SlavePath() << "\n";
    }
  }
  setenv("VARKON_PORTS", map.c_str(), 1);

  std::printf("%d exchanges of a %zu-byte command and a %zu-byte answer per figure\n", gCount,
              kCommand.size(), AnswerBlock().size());
  const double direct = Direct(kFirstCom);
  Print("direct, link layer on the pty", gCount, direct);

  TDispatcherOptions options;
  options.AnyFreePort = true;
  TSocketDispatcher dispatcher(0, options);
  double halden = 0;
  ServeWhile([&] { halden = HaldenClient(dispatcher.LocalPort(), kFirstCom + 1, gCount); });
  Print("Halden: TCP client -> dispatcher -> pty", gCount, halden);
  double callOnly = 0;
  ServeWhile([&] { callOnly = HaldenCallOnly(dispatcher.LocalPort(), gCount); });
  Print("Halden: a call without the device", gCount, callOnly);

  double ser2net = -1;
  {
    TSer2net server(dir, devices[2]->SlavePath(), false);
    if (server.Fd() < 0)
      std::printf("  ser2net could not be started (is it installed?): that road is skipped\n");
    else
      ser2net = ThroughSer2net(server, gCount);
    if (server.Fd() >= 0 && ser2net < 0) std::printf("  ser2net road failed during the run\n");
    if (ser2net > 0) Print("ser2net raw TCP, chardelay off", gCount, ser2net);
  }
  if (ser2net > 0) {
    const int count = std::max(10, gCount / 10);
    TSer2net server(dir, devices[2]->SlavePath(), true);
    const double delayed = server.Fd() >= 0 ? ThroughSer2net(server, count) : -1;
    if (delayed > 0) Print("ser2net raw TCP, default chardelay", count, delayed);
  }

  // Eight clients at once, each on its own port.
  const int each = std::max(10, gCount / 4);
  std::atomic<int> done{0};
  const auto t0 = Clock::now();
  ServeWhile([&] {
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
      clients.emplace_back([&, i] {
        HaldenClient(dispatcher.LocalPort(), kFirstCom + 3 + i, each);
        ++done;
      });
    for (auto& c : clients) c.join();
  });
  const double aggregate = Since(t0);
  std::printf(
      "  %d Halden clients on %d ports: %8.0f exchanges/s in all (%d each, warm-up "
      "included)\n",
      kClients, kClients, kClients * (each + kWarmUp) / aggregate, each);

  std::printf("  Halden / direct: %.2fx (goal <= 2x)\n", halden / direct);
  if (ser2net > 0) std::printf("  ser2net / Halden: %.2fx (goal >= 3x)\n", ser2net / halden);
  dispatcher.Close();
  devices.clear();
  std::filesystem::remove_all(dir);
  return 0;
}
