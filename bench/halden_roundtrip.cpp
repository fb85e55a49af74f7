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
#include <algorithm>
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
constexpr int kRounds = 5;
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

// Seconds per round of gCount / kRounds exchanges; the rounds of all roads
// alternate, so a machine that is busy for a while slows them alike.
struct TFigure {
  std::vector<double> Rounds;  // us per exchange
  double Best() const { return *std::min_element(Rounds.begin(), Rounds.end()); }
  double Median() const {
    std::vector<double> sorted = Rounds;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
  bool Valid() const { return !Rounds.empty(); }
};

void Print(const char* Name, const TFigure& F) {
  if (!F.Valid()) return;
  std::printf("  %-48s best %7.1f us, median %7.1f us/exchange (%6.0f exchanges/s)\n", Name,
              F.Best(), F.Median(), 1e6 / F.Median());
}

// The direct exchange through the link layer.
class TDirectRoad {
 public:
  explicit TDirectRoad(int Com) {
    auto params = std::make_shared<TConnectionParams>();
    params->ComNumber = Com;
    params->BaudRate = 6;
    params->Timeout = 1000;
    FPort = std::make_shared<TComPort>(params);
    FPort->Open();
    FLink = std::make_unique<TPrinterProtocol>(FPort, params);
    FRec.Command = kCommand;
    FRec.Timeout = 1000;
    Round(kWarmUp);
  }
  ~TDirectRoad() { FPort->Close(); }
  double Round(int Count) {
    const auto t0 = Clock::now();
    for (int i = 0; i < Count; ++i) {
      FLink->Send(FRec);
      if (FRec.Answer.size() != 50) std::abort();
    }
    return Since(t0);
  }

 private:
  std::shared_ptr<TComPort> FPort;
  std::unique_ptr<TPrinterProtocol> FLink;
  TCommandRec FRec;
};

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

// A Halden client with an object that has opened its port (Com 0: none).
class THaldenClient {
 public:
  THaldenClient(int TcpPort, int Com) : FRpc("127.0.0.1", TcpPort) {
    FObject = FRpc.Call("Create").value("object").toInt();
    if (Com > 0)
      FRpc.Call("OpenPort",
                {{"object", FObject}, {"PortNumber", Com}, {"BaudRate", 6}, {"Timeout", 1000}});
    Exchanges(kWarmUp, Com > 0);
  }
  ~THaldenClient() { FRpc.Call("Release", {{"object", FObject}}); }

  // Count SendData exchanges (or, without the device, ResultCode calls);
  // returns their seconds.
  double Exchanges(int Count, bool Device = true) {
    const QJsonObject send{{"object", FObject},
                           {"CmdTimeout", 1000},
                           {"TxData", QString::fromStdString(varkon::HexLower(kCommand))}};
    const QJsonObject read{{"object", FObject}};
    const auto t0 = Clock::now();
    for (int i = 0; i < Count; ++i) {
      if (!Device) {
        FRpc.Call("ResultCode", read);
        continue;
      }
      const QJsonObject r = FRpc.Call("SendData", send);
      if (r.value("Value").toString().size() != 100) std::abort();
    }
    return Since(t0);
  }

 private:
  TJsonRpcClient FRpc;
  int FObject = 0;
};

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
  // The character delay: off, at its lowest (a tenth of a character, at
  // least 1 us), or at ser2net's default (2 characters, at least 1000 us).
  enum TCharDelay { Off, Lowest, Default };

  TSer2net(const std::filesystem::path& Dir, const std::string& Tty, TCharDelay CharDelay) {
    FPort = FreePort();
    const auto config = Dir / ("ser2net-" + std::to_string(CharDelay) + ".yaml");
    std::ofstream out(config);
    out << "%YAML 1.1\n---\n"
        << "connection: &bench\n"
        << "  accepter: tcp,127.0.0.1," << FPort << "\n"
        << "  connector: serialdev," << Tty << ",115200n81,local\n"
        << "  options:\n"
        << "    kickolduser: true\n"
        << "    chardelay: " << (CharDelay == Off ? "false" : "true") << "\n";
    if (CharDelay == Lowest) out << "    chardelay-scale: 1\n    chardelay-min: 1\n";
    out.close();
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
  if (argc > 1) gCount = std::max(kRounds * 10, std::atoi(argv[1]));
  QCoreApplication app(argc, argv);
  char pattern[] = "/tmp/varkon-bench-halden-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path dir(pattern);

  // One device per COM number: the direct road, Halden's client, the three
  // ser2net roads and the eight clients each have their own.
  enum { kDirect, kHalden, kSerOff, kSerLowest, kSerDefault, kEight };
  std::vector<std::unique_ptr<TInstantDevice>> devices;
  const auto map = dir / "ports.ini";
  {
    std::ofstream out(map);
    out << "[Ports]\n";
    for (int i = 0; i < kEight + kClients; ++i) {
      devices.push_back(std::make_unique<TInstantDevice>());
      out << kFirstCom + i << "=" << devices.back()->SlavePath() << "\n";
    }
  }
  setenv("VARKON_PORTS", map.c_str(), 1);
  const int perRound = gCount / kRounds;
  std::printf("%d rounds of %d exchanges of a %zu-byte command and a %zu-byte answer per figure\n",
              kRounds, perRound, kCommand.size(), AnswerBlock().size());

  TDispatcherOptions options;
  options.AnyFreePort = true;
  TSocketDispatcher dispatcher(0, options);
  TDirectRoad direct(kFirstCom + kDirect);
  std::unique_ptr<THaldenClient> halden, callOnly;
  ServeWhile([&] {
    halden = std::make_unique<THaldenClient>(dispatcher.LocalPort(), kFirstCom + kHalden);
    callOnly = std::make_unique<THaldenClient>(dispatcher.LocalPort(), 0);
  });
  TSer2net serOff(dir, devices[kSerOff]->SlavePath(), TSer2net::Off);
  TSer2net serLowest(dir, devices[kSerLowest]->SlavePath(), TSer2net::Lowest);
  const bool ser2net = serOff.Fd() >= 0 && serLowest.Fd() >= 0;
  if (!ser2net)
    std::printf("  ser2net could not be started (is it installed?): its roads are skipped\n");

  TFigure fDirect, fHalden, fCallOnly, fSerOff, fSerLowest, fSerDefault;
  const auto us = [&](double Seconds, int Count) { return Seconds / Count * 1e6; };
  for (int round = 0; round < kRounds; ++round) {
    fDirect.Rounds.push_back(us(direct.Round(perRound), perRound));
    double seconds = 0;
    ServeWhile([&] { seconds = halden->Exchanges(perRound); });
    fHalden.Rounds.push_back(us(seconds, perRound));
    ServeWhile([&] { seconds = callOnly->Exchanges(perRound, false); });
    fCallOnly.Rounds.push_back(us(seconds, perRound));
    if (!ser2net) continue;
    seconds = ThroughSer2net(serOff, perRound);
    if (seconds > 0) fSerOff.Rounds.push_back(us(seconds, perRound));
    seconds = ThroughSer2net(serLowest, perRound);
    if (seconds > 0) fSerLowest.Rounds.push_back(us(seconds, perRound));
  }
  if (ser2net) {
    // Milliseconds an exchange: one short round is enough.
    TSer2net serDefault(dir, devices[kSerDefault]->SlavePath(), TSer2net::Default);
    const int count = std::max(10, perRound / 10);
    const double seconds = serDefault.Fd() >= 0 ? ThroughSer2net(serDefault, count) : -1;
    if (seconds > 0) fSerDefault.Rounds.push_back(us(seconds, count));
  }
  ServeWhile([&] {
    halden.reset();
    callOnly.reset();
  });

  Print("direct, link layer on the pty", fDirect);
  Print("Halden: TCP client -> dispatcher -> pty", fHalden);
  Print("Halden: a call that does not reach the device", fCallOnly);
  Print("ser2net raw TCP, chardelay off", fSerOff);
  Print("ser2net raw TCP, chardelay at its lowest", fSerLowest);
  Print("ser2net raw TCP, default chardelay (one round)", fSerDefault);
  if (ser2net && (!fSerOff.Valid() || !fSerLowest.Valid()))
    std::printf("  a ser2net road failed during the run\n");

  // Eight clients at once, each on its own port.
  std::vector<double> rates;
  ServeWhile([&] {
    std::vector<std::unique_ptr<THaldenClient>> clients;
    for (int i = 0; i < kClients; ++i)
      clients.push_back(
          std::make_unique<THaldenClient>(dispatcher.LocalPort(), kFirstCom + kEight + i));
    for (int round = 0; round < kRounds; ++round) {
      const auto t0 = Clock::now();
      std::vector<std::thread> threads;
      for (auto& c : clients) threads.emplace_back([&] { c->Exchanges(perRound); });
      for (auto& t : threads) t.join();
      rates.push_back(kClients * perRound / Since(t0));
    }
    clients.clear();
  });
  std::sort(rates.begin(), rates.end());
  std::printf("  %d Halden clients on %d ports: best %.0f, median %.0f exchanges/s in all\n",
              kClients, kClients, rates.back(), rates[rates.size() / 2]);

  std::printf("  Halden / direct: %.2fx by the medians (goal <= 2x)\n",
              fHalden.Median() / fDirect.Median());
  if (fSerOff.Valid() && fSerLowest.Valid())
    std::printf(
        "  ser2net / Halden: %.2fx with chardelay off, %.2fx at its lowest, by the medians "
        "(goal >= 3x)\n",
        fSerOff.Median() / fHalden.Median(), fSerLowest.Median() / fHalden.Median());
  if (fSerDefault.Valid())
    std::printf("  ser2net at its default chardelay / Halden: %.1fx\n",
                fSerDefault.Median() / fHalden.Median());
  dispatcher.Close();
  devices.clear();
  std::filesystem::remove_all(dir);
  return 0;
}
