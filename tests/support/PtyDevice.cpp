#include "support/PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>

#include "common/text/Hex.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string Hex(std::string_view Bytes) { return Bytes.empty() ? "(nothing)" : varkon::HexSpaced(Bytes); }

std::string SysError(const char* What) { return std::string(What) + ": " + std::strerror(errno); }

// The one port map of the process, shared by every live TPtyDevice: the first
// one creates it and points VARKON_PORTS at it, the last one restores the
// variable and removes the map's folder.
class TSharedPortMap {
 public:
  static TSharedPortMap& Instance() {
    static TSharedPortMap* map = new TSharedPortMap;  // lives to the end of the process
    return *map;
  }

  void Acquire(int Com) {
    std::lock_guard<std::mutex> guard(FLock);
    if (FEntries.count(Com)) throw std::logic_error("TPtyDevice: COM" + std::to_string(Com) + " is taken");
    if (FRefs++ == 0) {
      FDir = std::make_unique<TempDir>();
      const char* old = std::getenv("VARKON_PORTS");
      FHadOld = old != nullptr;
      FOld = old ? old : "";
      FFile = (FDir->path() / "ports.ini").string();
      WriteLocked();
      setenv("VARKON_PORTS", FFile.c_str(), 1);
    }
    FEntries[Com] = "";
  }

  void Release(int Com) {
    std::lock_guard<std::mutex> guard(FLock);
    FEntries.erase(Com);
    if (--FRefs == 0) {
      if (FHadOld) {
        setenv("VARKON_PORTS", FOld.c_str(), 1);
      } else {
        unsetenv("VARKON_PORTS");
      }
      FDir.reset();
      FFile.clear();
    } else {
      WriteLocked();
    }
  }

  void Set(int Com, const std::string& Path) {
    std::lock_guard<std::mutex> guard(FLock);
    FEntries[Com] = Path;
    WriteLocked();
  }

  // A path in the map's folder that never exists.
  std::string MissingPath(int Com) {
    std::lock_guard<std::mutex> guard(FLock);
    return (FDir->path() / ("removed-COM" + std::to_string(Com))).string();
  }

  std::string File() {
    std::lock_guard<std::mutex> guard(FLock);
    return FFile;
  }

 private:
  // Written aside and renamed, so that a reader never sees half a file.
  void WriteLocked() {
    const std::string temp = FFile + ".new";
    {
      std::ofstream out(temp, std::ios::trunc);
      out << "[Ports]\n";
      for (const auto& [com, path] : FEntries) {
        if (!path.empty()) out << com << "=" << path << "\n";
      }
    }
    std::filesystem::rename(temp, FFile);
  }

  std::mutex FLock;
  int FRefs = 0;
  std::unique_ptr<TempDir> FDir;
  std::string FFile;
  std::map<int, std::string> FEntries;
  bool FHadOld = false;
  std::string FOld;
};

void MakeRaw(int Fd) {
  termios t{};
  if (tcgetattr(Fd, &t) != 0) throw std::runtime_error(SysError("tcgetattr"));
  cfmakeraw(&t);
  if (tcsetattr(Fd, TCSANOW, &t) != 0) throw std::runtime_error(SysError("tcsetattr"));
}

std::string Describe(const TPtyStep& Step) {
  std::string text;
  if (!Step.Expect.empty()) text += "expect " + Hex(Step.Expect);
  if (!Step.Reply.empty()) text += std::string(text.empty() ? "" : ", ") + "reply " + Hex(Step.Reply);
  switch (Step.Action) {
    case TPtyStep::TAction::Silence: text += (text.empty() ? "" : ", ") + std::string("silence"); break;
    case TPtyStep::TAction::Remove: text += (text.empty() ? "" : ", ") + std::string("remove"); break;
    case TPtyStep::TAction::Restore: text += (text.empty() ? "" : ", ") + std::string("restore"); break;
    case TPtyStep::TAction::None: break;
  }
  return text.empty() ? "empty step" : text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Steps

TPtyStep TPtyStep::Within(int Ms) const {
  TPtyStep s = *this;
  s.WithinMs = Ms;
  return s;
}

TPtyStep TPtyStep::After(int Ms) const {
  TPtyStep s = *this;
  s.DelayMs = Ms;
  return s;
}

TPtyStep TPtyStep::Gap(int Ms) const {
  TPtyStep s = *this;
  s.GapMs = Ms;
  return s;
}

namespace pty {

std::string Bytes(std::string_view Hex) {
  std::string out;
  int high = -1;
  for (char c : Hex) {
    if (c == ' ' || c == '\t' || c == '\n' || c == ',') continue;
    const int v = varkon::HexDigitValue(c);
    if (v < 0) throw std::invalid_argument("pty::Bytes: not hexadecimal: " + std::string(Hex));
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("pty::Bytes: odd number of digits: " + std::string(Hex));
  return out;
}

TPtyStep Expect(std::string Host) {
  TPtyStep s;
  s.Expect = std::move(Host);
  return s;
}

TPtyStep Exchange(std::string Host, std::string Device) {
  TPtyStep s;
  s.Expect = std::move(Host);
  s.Reply = std::move(Device);
  return s;
}

TPtyStep Reply(std::string Device) {
  TPtyStep s;
  s.Reply = std::move(Device);
  return s;
}

TPtyStep Silence(int Ms) {
  TPtyStep s;
  s.Action = TPtyStep::TAction::Silence;
  s.SilenceMs = Ms;
  return s;
}

TPtyStep Remove() {
  TPtyStep s;
  s.Action = TPtyStep::TAction::Remove;
  return s;
}

TPtyStep Restore() {
  TPtyStep s;
  s.Action = TPtyStep::TAction::Restore;
  return s;
}

}  // namespace pty

// ---------------------------------------------------------------------------
// The device

TPtyDevice::TPtyDevice(int ComNumber) : FComNumber(ComNumber) {
  FWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (FWake < 0) throw std::runtime_error(SysError("eventfd"));
  try {
    TSharedPortMap::Instance().Acquire(FComNumber);
  } catch (...) {
    close(FWake);
    throw;
  }
  try {
    Open();
    TSharedPortMap::Instance().Set(FComNumber, FSlavePath);
  } catch (...) {
    CloseFds();
    TSharedPortMap::Instance().Release(FComNumber);
    close(FWake);
    throw;
  }
}

TPtyDevice::~TPtyDevice() {
  Stop();
  CloseFds();
  TSharedPortMap::Instance().Release(FComNumber);
  close(FWake);
  if (!FReported) ADD_FAILURE() << "TPtyDevice COM" << FComNumber << ": " << FFailure;
}

std::string TPtyDevice::SlavePath() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FSlavePath;
}

int TPtyDevice::SlaveFd() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FSlave;
}

std::string TPtyDevice::MapFile() { return TSharedPortMap::Instance().File(); }

bool TPtyDevice::Present() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FMaster >= 0;
}

// A new pair. The fixture keeps a descriptor of the slave open itself, so that
// the master never sees the hang-up of the host closing and reopening its
// port, and the slave's settings are not reset between the host's opens.
void TPtyDevice::Open() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) throw std::runtime_error(SysError("posix_openpt"));
  char name[128] = {};
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    const std::string error = SysError("grantpt/unlockpt/ptsname");
    close(master);
    throw std::runtime_error(error);
  }
  const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) {
    const std::string error = SysError("open slave");
    close(master);
    throw std::runtime_error(error);
  }
  try {
    MakeRaw(master);
    MakeRaw(slave);
  } catch (...) {
    close(slave);
    close(master);
    throw;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::lock_guard<std::mutex> guard(FLock);
  FMaster = master;
  FSlave = slave;
  FSlavePath = name;
}

void TPtyDevice::CloseFds() {
  std::lock_guard<std::mutex> guard(FLock);
  if (FMaster >= 0) close(FMaster);
  if (FSlave >= 0) close(FSlave);
  FMaster = FSlave = -1;
}

void TPtyDevice::DoRemove() {
  CloseFds();
  TSharedPortMap& map = TSharedPortMap::Instance();
  map.Set(FComNumber, map.MissingPath(FComNumber));
}

void TPtyDevice::DoRestore() {
  CloseFds();
  Open();
  TSharedPortMap::Instance().Set(FComNumber, SlavePath());
}

void TPtyDevice::Remove() {
  Stop();
  DoRemove();
}

void TPtyDevice::Restore() {
  Stop();
  DoRestore();
}

void TPtyDevice::Stop() {
  if (!FThread.joinable()) return;
  FStop = true;
  const uint64_t one = 1;
  (void)!write(FWake, &one, sizeof one);
  FThread.join();
  uint64_t value = 0;
  (void)!read(FWake, &value, sizeof value);
  FStop = false;
}

void TPtyDevice::StartThread(std::function<void()> Body) {
  Stop();
  {
    std::lock_guard<std::mutex> guard(FLock);
    if (!FReported) ADD_FAILURE() << "TPtyDevice COM" << FComNumber << ": " << FFailure;
    FReceived.clear();
    FPending.clear();
    FStep = 0;
    FDone = false;
    FFailure.clear();
    FReported = true;
  }
  FThread = std::thread(std::move(Body));
}

void TPtyDevice::Run(std::vector<TPtyStep> Script) {
  Stop();
  FScript = std::move(Script);
  FHandler = nullptr;
  FScriptMode = true;
  StartThread([this] { RunScript(); });
}

void TPtyDevice::Serve(THandler Handler) {
  Stop();
  FScript.clear();
  FHandler = std::move(Handler);
  FScriptMode = false;
  StartThread([this] { RunServe(); });
}

void TPtyDevice::Fail(const std::string& Text) {
  std::lock_guard<std::mutex> guard(FLock);
  if (FFailure.empty()) {
    FFailure = Text + "; host sent: " + Hex(FReceived);
    FReported = false;
  }
  FChanged.notify_all();
}

::testing::AssertionResult TPtyDevice::Finish(int TimeoutMs) {
  std::unique_lock<std::mutex> guard(FLock);
  if (FScriptMode) {
    FChanged.wait_for(guard, std::chrono::milliseconds(TimeoutMs), [this] { return FDone || !FFailure.empty(); });
  }
  if (!FFailure.empty()) {
    FReported = true;
    return ::testing::AssertionFailure() << "COM" << FComNumber << ": " << FFailure;
  }
  if (FScriptMode && !FDone) {
    const std::string step = FStep < FScript.size() ? Describe(FScript[FStep]) : "?";
    return ::testing::AssertionFailure() << "COM" << FComNumber << ": script not finished within " << TimeoutMs
                                         << " ms, at step " << FStep + 1 << " of " << FScript.size() << " (" << step
                                         << "); host sent: " << Hex(FReceived);
  }
  return ::testing::AssertionSuccess();
}

std::string TPtyDevice::Received() {
  // The host's bytes reach the master's queue a moment after its write has
  // returned: wait until the queue is empty and nothing has come for a while.
  const auto deadline = Clock::now() + std::chrono::milliseconds(500);
  std::size_t seen = std::string::npos;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(FLock);
      int queued = 0;
      const bool reading = FThread.joinable() && FMaster >= 0;
      if (!reading || Clock::now() >= deadline) return FReceived;
      if (ioctl(FMaster, FIONREAD, &queued) != 0) queued = 0;
      if (queued == 0 && seen == FReceived.size()) return FReceived;
      seen = queued == 0 ? FReceived.size() : std::string::npos;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// ---------------------------------------------------------------------------
// The device thread

bool TPtyDevice::Sleep(int Ms) {
  if (Ms > 0) {
    pollfd wake{FWake, POLLIN, 0};
    poll(&wake, 1, Ms);
  }
  return !FStop;
}

bool TPtyDevice::ReadSome(int TimeoutMs) {
  if (FMaster < 0) return Sleep(TimeoutMs);
  pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWake, POLLIN, 0}};
  const int r = poll(fds, 2, TimeoutMs);
  if (FStop) return false;
  if (r <= 0) return true;
  if (fds[0].revents & POLLIN) {
    std::lock_guard<std::mutex> guard(FLock);
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(FMaster, buffer, sizeof buffer);
      if (n <= 0) break;
      FReceived.append(buffer, static_cast<std::size_t>(n));
      FPending.append(buffer, static_cast<std::size_t>(n));
    }
    FChanged.notify_all();
  } else if (fds[0].revents & (POLLHUP | POLLERR)) {
    // No slave open (cannot happen while the fixture holds one): do not spin.
    return Sleep(std::min(TimeoutMs, 10));
  }
  return !FStop;
}

bool TPtyDevice::WriteAll(const std::string& Data) {
  if (FMaster < 0) {
    Fail("reply " + Hex(Data) + " while the device is removed");
    return false;
  }
  std::size_t done = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(3000);
  while (done < Data.size()) {
    const ssize_t n = write(FMaster, Data.data() + done, Data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail(SysError("write to the master"));
      return false;
    }
    if (Clock::now() >= deadline) {
      Fail("the host took no more than " + std::to_string(done) + " bytes of the reply " + Hex(Data) +
           " within 3000 ms");
      return false;
    }
    pollfd fds[2] = {{FMaster, POLLOUT, 0}, {FWake, POLLIN, 0}};
    poll(fds, 2, std::min(MsLeft(deadline), 50));
    if (FStop) return false;
  }
  return true;
}

bool TPtyDevice::DoStep(std::size_t Index, const TPtyStep& Step) {
  const std::string where = "step " + std::to_string(Index + 1) + " of " + std::to_string(FScript.size());
  if (!Step.Expect.empty()) {
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(Step.WithinMs);
    for (;;) {
      const std::size_t n = std::min(FPending.size(), Step.Expect.size());
      for (std::size_t i = 0; i < n; ++i) {
        if (FPending[i] != Step.Expect[i]) {
          Fail(where + ": expected " + Hex(Step.Expect) + ", got " + Hex(FPending) + " (differs at byte " +
               std::to_string(i + 1) + ")");
          return false;
        }
      }
      if (FPending.size() >= Step.Expect.size()) {
        FPending.erase(0, Step.Expect.size());
        break;
      }
      if (Clock::now() >= deadline) {
        Fail(where + ": expected " + Hex(Step.Expect) + ", got " + Hex(FPending) + " and nothing more within " +
             std::to_string(Step.WithinMs) + " ms");
        return false;
      }
      if (!ReadSome(std::max(1, MsLeft(deadline)))) return false;
    }
  }
  if (!Sleep(Step.DelayMs)) return false;
  if (!Step.Reply.empty()) {
    if (Step.GapMs > 0) {
      for (std::size_t i = 0; i < Step.Reply.size(); ++i) {
        if (i > 0 && !Sleep(Step.GapMs)) return false;
        if (!WriteAll(Step.Reply.substr(i, 1))) return false;
      }
    } else if (!WriteAll(Step.Reply)) {
      return false;
    }
  }
  switch (Step.Action) {
    case TPtyStep::TAction::None:
      break;
    case TPtyStep::TAction::Silence: {
      const auto deadline = Clock::now() + std::chrono::milliseconds(Step.SilenceMs);
      while (MsLeft(deadline) > 0) {
        if (!ReadSome(MsLeft(deadline))) return false;
      }
      FPending.clear();
      break;
    }
    case TPtyStep::TAction::Remove:
      DoRemove();
      FPending.clear();
      break;
    case TPtyStep::TAction::Restore:
      try {
        DoRestore();
      } catch (const std::exception& e) {
        Fail(where + ": restore failed: " + e.what());
        return false;
      }
      FPending.clear();
      break;
  }
  return true;
}

void TPtyDevice::RunScript() {
  bool ok = true;
  for (std::size_t i = 0; ok && i < FScript.size(); ++i) {
    ok = DoStep(i, FScript[i]);
    if (ok) {
      std::lock_guard<std::mutex> guard(FLock);
      FStep = i + 1;
    }
  }
  if (ok) {
    std::lock_guard<std::mutex> guard(FLock);
    FDone = true;
    FChanged.notify_all();
  }
  // Silent from here on, but still recording.
  while (ReadSome(1000)) {
  }
}

void TPtyDevice::RunServe() {
  bool failed = false;
  while (ReadSome(1000)) {
    if (failed) FPending.clear();
    if (FPending.empty()) continue;
    std::string chunk;
    chunk.swap(FPending);
    std::string reply;
    try {
      reply = FHandler(chunk);
    } catch (const std::exception& e) {
      Fail(std::string("handler threw: ") + e.what());
      failed = true;
      continue;
    }
    if (!reply.empty() && !WriteAll(reply)) failed = true;
  }
}
