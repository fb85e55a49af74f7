#include "halden/link/ComPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/config/Paths.h"

namespace {

using Clock = std::chrono::steady_clock;

// The communication error flags of the Windows API, in the order of the log line.
struct TCommError {
  unsigned Flag;
  const char* Name;
};
constexpr unsigned CE_RXOVER = 0x1;
constexpr unsigned CE_OVERRUN = 0x2;
constexpr unsigned CE_RXPARITY = 0x4;
constexpr unsigned CE_FRAME = 0x8;
constexpr unsigned CE_BREAK = 0x10;
constexpr TCommError kCommErrors[] = {
    {CE_BREAK, " CE_BREAK"},   {0x800, " CE_DNS"},       {CE_FRAME, " CE_FRAME"},   {0x400, " CE_IOE"},
    {0x8000, " CE_MODE"},      {0x1000, " CE_OOP"},      {CE_OVERRUN, " CE_OVERRUN"}, {0x200, " CE_PTO"},
    {CE_RXOVER, " CE_RXOVER"}, {CE_RXPARITY, " CE_RXPARITY"}, {0x100, " CE_TXFULL"},
};

speed_t SpeedOf(int Code) {
  switch (BaudRateOf(Code)) {
    case 2400: return B2400;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B4800;
  }
}

// Microseconds from now to Deadline (negative when passed).
long long MicrosUntil(Clock::time_point Deadline) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Deadline - Clock::now()).count();
}

// A poll time-out that does not wake before the deadline: rounded up.
int PollMs(long long Micros) { return static_cast<int>(std::min<long long>((Micros + 999) / 1000, 1LL << 30)); }

int ClampTimeout(int Value) { return std::min(Value, TComPort::kMaxTimeoutMs); }

}  // namespace

std::string CommErrorsText(unsigned Mask) {
  std::string names;
  for (const TCommError& e : kCommErrors) {
    if (Mask & e.Flag) names += e.Name;
  }
  char head[64];
  std::snprintf(head, sizeof head, "ClearCommError.Errors: 0x%.8x, ", Mask);
  return head + names;
}

TComPort::TComPort(PConnectionParams AParams)
    : FLogger("TComPort"), FParams(std::move(AParams)), FNotification(std::make_unique<TDeviceNotification>()) {
  FNotification->OnDeviceChange = [this](TDeviceNotification&, int Event) { DeviceChanged(Event); };
}

TComPort::~TComPort() { Close(); }

std::string TComPort::DeviceName() const { return "COM" + std::to_string(FParams->ComNumber); }

bool TComPort::GetOpened() { return FHandle >= 0; }

void TComPort::Open() {
  FLogger.Debug("Open COM" + std::to_string(FParams->ComNumber));
  if (GetOpened()) return;
  CreateHandle();
  SetLine();
  // The 1024-byte queue sizes have no Linux counterpart.
  FNotification->Install(FHandle);
}

void TComPort::CreateHandle() {
  const std::string path = DevicePathOf(FParams->ComNumber);
  FLogger.Debug("CreateHandle " + path);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int err = 0;
  if (fd < 0) {
    err = errno;
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    err = errno;
    close(fd);
  }
  if (err != 0) {
    char line[256];
    std::snprintf(line, sizeof line, "CreateFile ERROR: 0x%.8x, %s", static_cast<unsigned>(err), std::strerror(err));
    FLogger.Error(line);
    // Held by another process: its lock, or a tty opened exclusively. Anything
    // else, permission denied included, is "not available".
    if (err == EWOULDBLOCK || err == EBUSY) RaiseError(E_PORTBUSY, S_PORTBUSY);
    RaiseError(E_PORTNOTAVAILABLE, S_PORTNOTAVAILABLE);
  }
  FHandle = fd;
}

// A failure here leaves the port open (the caller closes it).
void TComPort::SetLine() {
  // Linux raises DTR and RTS on open: drop them at once. A pseudo-terminal
  // has no modem lines and refuses the call; that is no error.
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(FHandle, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
    RaiseLastError("SetCommState", errno);
  }
  termios t{};
  if (tcgetattr(FHandle, &t) != 0) RaiseLastError("SetCommState", errno);
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_iflag |= INPCK;  // the parity-check flag; no effect without parity
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(FParams->BaudRate);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (tcsetattr(FHandle, TCSANOW, &t) != 0) RaiseLastError("SetCommState", errno);
  // The descriptor stays non-blocking: every read and write waits in poll
  // under its own deadline, and a read is tried before waiting, which saves
  // a poll per turn when the bytes are already there.

  serial_icounter_struct ic{};
  FHasCounters = ioctl(FHandle, TIOCGICOUNT, &ic) == 0;
  if (FHasCounters) FCounters = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
}

void TComPort::Close() {
  FLogger.Debug("Close.1");
  if (!GetOpened()) return;
  FNotification->Uninstall();
  FLogger.Debug("Close.2");
  close(FHandle);
  FLogger.Debug("Close.3");
  FHandle = -1;
  FInput.clear();
  FInputPos = 0;
}

int TComPort::TakeInput(char* Buffer, int Count) {
  const int n = static_cast<int>(std::min<std::size_t>(Count, FInput.size() - FInputPos));
  if (n == 0) return 0;
  std::memcpy(Buffer, FInput.data() + FInputPos, static_cast<std::size_t>(n));
  FInputPos += static_cast<std::size_t>(n);
  if (FInputPos == FInput.size()) {
    FInput.clear();
    FInputPos = 0;
  }
  return n;
}

void TComPort::ClearCommErrors() {
  if (!GetOpened() || !FHasCounters) return;  // no counters, no error state (a pty)
  serial_icounter_struct ic{};
  if (ioctl(FHandle, TIOCGICOUNT, &ic) != 0) {
    if (errno == ENOTTY || errno == EINVAL) {
      FHasCounters = false;
    } else {
      FLogger.Error("ClearCommError function failed");
    }
    return;
  }
  unsigned mask = 0;
  if (ic.brk != FCounters.Brk) mask |= CE_BREAK;
  if (ic.frame != FCounters.Frame) mask |= CE_FRAME;
  if (ic.overrun != FCounters.Overrun) mask |= CE_OVERRUN;
  if (ic.buf_overrun != FCounters.BufOverrun) mask |= CE_RXOVER;
  if (ic.parity != FCounters.Parity) mask |= CE_RXPARITY;
  FCounters = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
  if (mask != 0) FLogger.Error(CommErrorsText(mask));
}

void TComPort::RaiseLastError(const char* Operation, int Err) {
  char line[256];
  std::snprintf(line, sizeof line, "%s ERROR: 0x%.8x, %s", Operation, static_cast<unsigned>(Err), std::strerror(Err));
  FLogger.Error(line);
  ClearCommErrors();
  RaiseError(E_NOCONNECTION, S_NOCONNECTION);
}

void TComPort::RaiseRemoved(const char* Operation, int Err) {
  FNotification->DeviceRemoved();
  if (GetOpened()) Close();  // also when the notification was not installed
  RaiseLastError(Operation, Err);
}

void TComPort::RaiseIoError(const char* Operation, int Err) {
  if (TDeviceNotification::IsRemovalError(Err)) RaiseRemoved(Operation, Err);
  RaiseLastError(Operation, Err);
}

void TComPort::DeviceChanged(int Event) {
  FLogger.Debug("DeviceChanged: " + std::to_string(Event));
  if (Event == TDeviceNotification::DBT_DEVICEREMOVECOMPLETE) {
    FLogger.Debug("Device closed by deviceremovecomplete");
    Close();
  }
}

void TComPort::SetCmdTimeout(int Value) {
  FLogger.Debug("SetCmdTimeout " + std::to_string(Value));
  FByteTimeout = FParams->Timeout > 0 ? ClampTimeout(FParams->Timeout) : 0;
  if (Value > 0) {
    FReadTimeout = ClampTimeout(Value);
  } else {
    FReadTimeout = FByteTimeout > 0 ? FByteTimeout : kDefaultTimeoutMs;
  }
  FWriteByteTimeout = FByteTimeout;
}

int TComPort::ReadBlock(char* Buffer, int Count, int TotalMs, int& Err) {
  Err = 0;
  if (!GetOpened()) {
    Err = EBADF;
    return 0;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(TotalMs);
  const auto gap = std::chrono::milliseconds(FByteTimeout);
  int got = TakeInput(Buffer, Count);
  Clock::time_point last = got > 0 ? Clock::now() : Clock::time_point{};
  while (got < Count) {
    char chunk[4096];
    const ssize_t n = read(FHandle, chunk, sizeof chunk);
    if (n > 0) {
      FInput.append(chunk, static_cast<std::size_t>(n));
      got += TakeInput(Buffer + got, Count - got);
      last = Clock::now();
      continue;
    }
    if (n == 0) {  // end of file on a tty: the other end is gone
      Err = EIO;
      break;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      Err = errno;
      break;
    }
    // Nothing pending: wait for more within the total and the byte gap.
    long long wait = MicrosUntil(deadline);
    if (got > 0 && FByteTimeout > 0) wait = std::min(wait, MicrosUntil(last + gap));
    if (wait <= 0) break;
    pollfd p{FHandle, POLLIN, 0};
    const int r = poll(&p, 1, PollMs(wait));
    if (r < 0) {
      if (errno == EINTR) continue;
      Err = errno;
      break;
    }
    if (r == 0) continue;
    if (p.revents & POLLNVAL) {
      Err = EBADF;
      break;
    }
    if (!(p.revents & POLLIN)) {  // POLLHUP or POLLERR without data
      Err = EIO;
      break;
    }
  }
  return got;
}

bool TComPort::ReadChar(char& C) {
  char c = 0;
  int err = 0;
  const int n = ReadBlock(&c, 1, FReadTimeout, err);
  if (err != 0) RaiseIoError("ReadFile", err);
  if (n == 1) {
    C = c;
    return true;
  }
  ClearCommErrors();
  return false;
}

std::string TComPort::Read(int Count) {
  if (Count <= 0) return {};
  std::string result(static_cast<std::size_t>(Count), '\0');
  int err = 0;
  const int n = ReadBlock(result.data(), Count, FReadTimeout, err);
  if (err != 0) RaiseIoError("ReadFile", err);
  // A short read is a time-out: the error step names it so.
  if (n != Count) RaiseLastError("ReadFile", ETIMEDOUT);
  return result;
}

// The completion is tested before the deadline (the Part tests the deadline
// first, which fails a block whose last bytes came in time), and every read
// ends at the deadline, so that ATimeout bounds the call.
std::string TComPort::ReadEx(int Count, int ATimeout) {
  if (Count <= 0) return {};
  const long long limit = static_cast<long long>(ClampTimeout(ATimeout)) * 1000;
  const auto start = Clock::now();
  std::string result(static_cast<std::size_t>(Count), '\0');
  int pos = 0;
  for (;;) {
    if (pos == Count) return result;
    const long long elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    if (elapsed >= limit) RaiseError(E_NOCONNECTION, S_NOCONNECTION);
    const int total = std::min(FReadTimeout, PollMs(limit - elapsed));
    int err = 0;
    const int n = ReadBlock(result.data() + pos, Count - pos, total, err);
    if (err != 0 && (n == 0 || TDeviceNotification::IsRemovalError(err))) RaiseIoError("ReadFile", err);
    pos += n;
  }
}

int TComPort::WriteBlock(const std::string& Data) {
  if (!GetOpened()) return EBADF;
  long long limitMs;
  if (FWriteByteTimeout > 0) {
    limitMs = std::min<long long>(static_cast<long long>(FWriteByteTimeout) * static_cast<long long>(Data.size()),
                                  kMaxTimeoutMs);
  } else {
    const long long wireMs = static_cast<long long>(Data.size()) * 10 * 1000 / BaudRateOf(FParams->BaudRate);
    limitMs = std::min<long long>(kDefaultTimeoutMs + 2 * wireMs, kMaxTimeoutMs);
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  // The descriptor is non-blocking, so the deadline holds even when the
  // other end takes nothing.
  int err = 0;
  std::size_t done = 0;
  while (done < Data.size()) {
    const ssize_t n = write(FHandle, Data.data() + done, Data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      err = errno;
      break;
    }
    const long long wait = MicrosUntil(deadline);
    if (wait <= 0) {
      err = ETIMEDOUT;
      break;
    }
    pollfd p{FHandle, POLLOUT, 0};
    const int r = poll(&p, 1, PollMs(wait));
    if (r < 0 && errno != EINTR) {
      err = errno;
      break;
    }
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) {
      err = (p.revents & POLLNVAL) ? EBADF : EIO;
      break;
    }
  }
  return err;
}

void TComPort::Write(const std::string& Data) {
  if (Data.empty()) return;
  int err = WriteBlock(Data);
  if (err == 0) return;
  if (TDeviceNotification::IsRemovalError(err)) RaiseRemoved("WriteFile", err);
  Close();
  Open();
  err = WriteBlock(Data);
  if (err != 0) RaiseIoError("WriteFile", err);
}

void TComPort::Purge() {
  for (int attempt = 1;; ++attempt) {
    const int err = !GetOpened() ? EBADF : tcflush(FHandle, TCIOFLUSH) == 0 ? 0 : errno;
    FInput.clear();
    FInputPos = 0;
    if (err == 0) return;
    if (TDeviceNotification::IsRemovalError(err)) RaiseRemoved("PurgeComm", err);
    if (attempt == 3) RaiseLastError("PurgeComm", err);
    ClearCommErrors();
    Close();
    Open();
  }
}
