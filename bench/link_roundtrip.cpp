// Exchanges per second of a 5-byte command with a 50-byte answer through each
// link protocol on TComPort, against an instant device on a pseudo-terminal,
// beside:
//   - the floor: the same bytes in the same turns over the same kind of pty
//     with bare write/poll/read and the same device;
//   - the same floor with the purges (tcflush) the protocols make;
//   - the host's CPU time per exchange (the calling thread);
//   - the wire time of the same bytes at 115200 bit/s (10 bits per byte).
// Goals: within 1.2x of the bare loop, under 50 us CPU per exchange. The
// program prints figures and never fails on speed.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/text/Crc.h"
#include "halden/link/ComPort.h"
#include "halden/link/PrinterProtocol.h"
#include "halden/link/PrinterProtocol2.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;  // alternating blocks of bare and protocol exchanges
int kPerRound = 2000;       // the first argument may change it
constexpr int kWarmUp = 200;

const std::string kCommand = "\x11\x01\x02\x03\x04";  // 5 bytes

std::string AnswerBlock() {
  std::string answer = "\x11";
  answer.push_back('\0');
  for (int i = 0; answer.size() < 50; ++i) answer.push_back(static_cast<char>(0x20 + i));
  return answer;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// --- Frames ----------------------------------------------------------------

std::string StdFrame(const std::string& Data) {
  char lrc = static_cast<char>(Data.size());
  for (char c : Data) lrc ^= c;
  std::string frame(1, '\x02');
  frame.push_back(static_cast<char>(Data.size()));
  frame.append(Data);
  frame.push_back(lrc);
  return frame;
}

void Word(std::string& To, unsigned Value) {
  To.push_back(static_cast<char>(Value & 0xFF));
  To.push_back(static_cast<char>((Value >> 8) & 0xFF));
}

std::string P2Frame(unsigned Number, const std::string& Data, bool Sync = false) {
  std::string body;
  if (Sync) {
    Word(body, 0);
  } else {
    Word(body, static_cast<unsigned>(Data.size()) + 2);
    Word(body, Number);
    body += Data;
  }
  Word(body, varkon::Crc16Ccitt(body));
  std::string frame = "\x8F";
  for (char c : body) {
    if (c == '\x8F')
      frame += "\x9F\x81";
    else if (c == '\x9F')
      frame += "\x9F\x83";
    else
      frame += c;
  }
  return frame;
}

// --- The device --------------------------------------------------------------

// Parses the host's bytes and answers at once; returns the reply for what was
// complete in In (and erases it).
using TDeviceLogic = std::function<std::string(std::string& In)>;

std::string StdDevice(std::string& In) {
  static const std::string answer = [] {
    std::string a(1, '\x06');
    a.append(StdFrame(AnswerBlock()));
    return a;
  }();
  std::string out;
  for (;;) {
    if (In.empty()) return out;
    if (In[0] == '\x05') {
      out.push_back('\x15');
      In.erase(0, 1);
    } else if (In[0] == '\x06' || In[0] == '\x15') {
      In.erase(0, 1);
    } else if (In[0] == '\x02') {
      if (In.size() < 2) return out;
      const std::size_t size = 3 + static_cast<unsigned char>(In[1]);
      if (In.size() < size) return out;
      In.erase(0, size);
      out += answer;
    } else {
      In.erase(0, 1);
    }
  }
}

struct TP2Device {
  std::string operator()(std::string& In);
  std::uint16_t number = 0x0100;
};

std::string TP2Device::operator()(std::string& In) {
  std::string out;
  for (;;) {
    const std::size_t start = In.find('\x8F');
    if (start == std::string::npos) {
      In.clear();
      return out;
    }
    // Unstuff until LEN and the whole frame are there.
    std::string body;
    std::size_t i = start + 1;
    std::size_t need = 2;
    while (i < In.size() && body.size() < need) {
      char c = In[i++];
      if (c == '\x9F') {
        if (i >= In.size()) break;
        c = In[i++] == '\x81' ? '\x8F' : '\x9F';
      }
      body.push_back(c);
      if (body.size() == 2) {
        const unsigned len = static_cast<unsigned char>(body[0]) |
                             static_cast<unsigned>(static_cast<unsigned char>(body[1])) << 8;
        need = 2 + len + 2;
      }
    }
    if (body.size() < need) return out;
    In.erase(0, i);
    if (need == 4) {  // synchronisation
      out += P2Frame(number, {});
    } else {
      number = static_cast<std::uint16_t>(static_cast<unsigned char>(body[2]) |
                                          static_cast<unsigned char>(body[3]) << 8);
      out += P2Frame(number, AnswerBlock());
    }
  }
}

// A pseudo-terminal pair whose master a thread serves with Logic.
class TBenchDevice {
 public:
  explicit TBenchDevice(TDeviceLogic Logic) : FLogic(std::move(Logic)) {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) std::abort();
    FSlavePath = ptsname(FMaster);
    // Keep one slave descriptor open so the line never hangs up in between,
    // and make the line raw from the start.
    FKeep = open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(FKeep, &t);
    cfmakeraw(&t);
    tcsetattr(FKeep, TCSANOW, &t);
    FThread = std::thread([this] { Serve(); });
  }
  ~TBenchDevice() {
    FStop = true;
    FThread.join();
    close(FKeep);
    close(FMaster);
  }
  const std::string& SlavePath() const { return FSlavePath; }

 private:
  void Serve() {
    std::string in;
    char buf[4096];
    while (!FStop) {
      pollfd p{FMaster, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = read(FMaster, buf, sizeof buf);
      if (n <= 0) continue;
      in.append(buf, static_cast<std::size_t>(n));
      const std::string out = FLogic(in);
      std::size_t done = 0;
      while (done < out.size()) {
        const ssize_t w = write(FMaster, out.data() + done, out.size() - done);
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
      }
    }
  }

  TDeviceLogic FLogic;
  int FMaster = -1;
  int FKeep = -1;
  std::string FSlavePath;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// --- The bare host loop --------------------------------------------------------

class TBareHost {
 public:
  explicit TBareHost(const std::string& Path) {
    FFd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FFd < 0) std::abort();
    termios t{};
    tcgetattr(FFd, &t);
    cfmakeraw(&t);
    tcsetattr(FFd, TCSANOW, &t);
  }
  ~TBareHost() { close(FFd); }

  void Purge() { tcflush(FFd, TCIOFLUSH); }
  void Write(const std::string& Data) {
    if (write(FFd, Data.data(), Data.size()) != static_cast<ssize_t>(Data.size())) std::abort();
  }
  void ReadExactly(std::size_t Count) {
    char buf[512];
    std::size_t got = 0;
    while (got < Count) {
      pollfd p{FFd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) std::abort();
      const ssize_t n = read(FFd, buf, std::min(sizeof buf, Count - got));
      if (n <= 0) std::abort();
      got += static_cast<std::size_t>(n);
    }
  }

 private:
  int FFd = -1;
};

// --- Measuring -------------------------------------------------------------------

// Wall time per exchange of each round, and CPU time in all. On a busy
// machine the best round is the figure closest to what the code costs; the
// median shows how much the load moved it.
struct TFigures {
  std::vector<double> RoundUs;
  double Cpu = 0;
  int Count = 0;

  double Best() const { return *std::min_element(RoundUs.begin(), RoundUs.end()); }
  double Median() const {
    std::vector<double> v = RoundUs;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double CpuUs() const { return Cpu / Count * 1e6; }
};

template <class F>
void Measure(TFigures& Into, int Count, F&& Exchange) {
  const auto t0 = Clock::now();
  const double c0 = ThreadCpuSeconds();
  for (int i = 0; i < Count; ++i) Exchange();
  Into.Cpu += ThreadCpuSeconds() - c0;
  Into.RoundUs.push_back(std::chrono::duration<double>(Clock::now() - t0).count() * 1e6 / Count);
  Into.Count += Count;
}

void Line(const char* Name, const TFigures& F) {
  std::printf("  %-22s %9.0f exchanges/s  best %7.1f us, median %7.1f us, CPU %5.1f us\n", Name,
              1e6 / F.Best(), F.Best(), F.Median(), F.CpuUs());
}

void Report(const char* Name, const TFigures& Protocol, const TFigures& Bare,
            const TFigures& Purged, int WireBytes) {
  std::printf("%s\n", Name);
  Line("protocol on TComPort:", Protocol);
  Line("bare write/poll/read:", Bare);
  Line("bare with the purges:", Purged);
  std::printf("  ratio to the bare loop: best %.2fx, median %.2fx (goal <= 1.2x)\n",
              Protocol.Best() / Bare.Best(), Protocol.Median() / Bare.Median());
  std::printf("  host CPU per exchange: %.1f us (goal < 50 us)\n", Protocol.CpuUs());
  std::printf("  wire time at 115200 bit/s: %d bytes, %.0f us/exchange (%.0f exchanges/s)\n",
              WireBytes, WireBytes * 10 / 115200.0 * 1e6, 115200.0 / (WireBytes * 10));
}

// A port map of our own that names the slave as COM<Com>.
std::filesystem::path MapPort(const std::filesystem::path& Dir, int Com, const std::string& Path) {
  const auto file = Dir / ("ports-" + std::to_string(Com) + ".ini");
  std::ofstream(file) << "[Ports]\n" << Com << "=" << Path << "\n";
  setenv("VARKON_PORTS", file.c_str(), 1);
  return file;
}

PConnectionParams Params(int Com) {
  auto params = std::make_shared<TConnectionParams>();
  params->ComNumber = Com;
  params->BaudRate = 6;
  params->Timeout = 1000;
  return params;
}

void BenchStandard(const std::filesystem::path& Dir) {
  const std::string frame = StdFrame(kCommand);
  const std::size_t answerSize = 1 + StdFrame(AnswerBlock()).size();
  TFigures bare, purged, protocol;

  TBenchDevice bareDevice(StdDevice);
  TBareHost host(bareDevice.SlavePath());
  auto bareExchange = [&] {
    host.Write("\x05");
    host.ReadExactly(1);
    host.Write(frame);
    host.ReadExactly(answerSize);
    host.Write("\x06");
  };
  // The same with the two purges the protocol makes (before ENQ and frame).
  auto purgedExchange = [&] {
    host.Purge();
    host.Write("\x05");
    host.ReadExactly(1);
    host.Purge();
    host.Write(frame);
    host.ReadExactly(answerSize);
    host.Write("\x06");
  };

  TBenchDevice device(StdDevice);
  MapPort(Dir, 9, device.SlavePath());
  auto params = Params(9);
  auto port = std::make_shared<TComPort>(params);
  port->Open();
  TPrinterProtocol link(port, params);
  TCommandRec rec;
  rec.Command = kCommand;
  rec.Timeout = 1000;
  auto protoExchange = [&] {
    link.Send(rec);
    if (rec.Answer.size() != 50) std::abort();
  };

  TFigures ignore;
  Measure(ignore, kWarmUp, bareExchange);
  Measure(ignore, kWarmUp, protoExchange);
  for (int round = 0; round < kRounds; ++round) {
    Measure(bare, kPerRound, bareExchange);
    Measure(purged, kPerRound, purgedExchange);
    Measure(protocol, kPerRound, protoExchange);
  }
  Report("standard protocol (ENQ/NAK, frame/ACK + answer, ACK)", protocol, bare, purged,
         static_cast<int>(1 + 1 + frame.size() + answerSize + 1));
}

void BenchProtocol2(const std::filesystem::path& Dir) {
  const std::size_t answerSize = P2Frame(0x0101, AnswerBlock()).size();
  TFigures bare, purged, protocol;

  TBenchDevice bareDevice(TP2Device{});
  TBareHost host(bareDevice.SlavePath());
  std::uint16_t number = 0x2000;
  auto bareExchange = [&] {
    const std::string frame = P2Frame(number++, kCommand);
    host.Write(frame);
    host.ReadExactly(P2Frame(number - 1, AnswerBlock()).size());
  };
  // The same with the purge the protocol makes before each frame.
  auto purgedExchange = [&] {
    const std::string frame = P2Frame(number++, kCommand);
    host.Purge();
    host.Write(frame);
    host.ReadExactly(P2Frame(number - 1, AnswerBlock()).size());
  };

  TBenchDevice device(TP2Device{});
  MapPort(Dir, 10, device.SlavePath());
  auto params = Params(10);
  auto port = std::make_shared<TComPort>(params);
  port->Open();
  TPrinterProtocol2 link(port, params);
  TCommandRec rec;
  rec.Command = kCommand;
  rec.Timeout = 1000;
  auto protoExchange = [&] {
    link.Send(rec);
    if (rec.Answer.size() != 50) std::abort();
  };

  TFigures ignore;
  Measure(ignore, kWarmUp, bareExchange);
  Measure(ignore, kWarmUp, protoExchange);
  for (int round = 0; round < kRounds; ++round) {
    Measure(bare, kPerRound, bareExchange);
    Measure(purged, kPerRound, purgedExchange);
    Measure(protocol, kPerRound, protoExchange);
  }
  Report("protocol 2 (frame + answer frame)", protocol, bare, purged,
         static_cast<int>(P2Frame(0x0101, kCommand).size() + answerSize));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) kPerRound = std::max(1, std::atoi(argv[1]));
  char pattern[] = "/tmp/varkon-bench-link-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path dir(pattern);
  std::printf("%d exchanges of a %zu-byte command and a %zu-byte answer per figure\n",
              kRounds * kPerRound, kCommand.size(), AnswerBlock().size());
  BenchStandard(dir);
  BenchProtocol2(dir);
  std::filesystem::remove_all(dir);
  return 0;
}
