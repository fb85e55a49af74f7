// Lines per second through TLogger::Debug with the log on, beside the same
// number of bare write+fstat pairs on the same kind of file (the two system
// calls a line needs), and the cost of a call with the log off.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/logging/LogFile.h"
#include "common/logging/Logger.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

}  // namespace

int main() {
  constexpr int kLines = 200000;
  char pattern[] = "/tmp/varkon-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::filesystem::path dir(pattern);
  const std::string message = "Open COM3 CreateHandle \\\\.\\COM3 SetCmdTimeout 10000";

  // A line of the same length as the logger writes.
  const std::string line = "[05.03.2025 14:07:09.042] [00004120] [DEBUG] TComPort " + message + "\r\n";
  const int fd = ::open((dir / "bare.log").c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  auto t0 = Clock::now();
  for (int i = 0; i < kLines; ++i) {
    if (::write(fd, line.data(), line.size()) < 0) return 1;
    struct stat st{};
    fstat(fd, &st);
  }
  const double bare = Seconds(t0);
  ::close(fd);

  TLogFile& log = GlobalLogger();
  log.SetFileName((dir / "logger.log").string());
  log.SetMaxFileSize(1024);
  log.SetMaxFileCount(3);
  log.SetEnabled(true);
  TLogger logger("TComPort");
  t0 = Clock::now();
  for (int i = 0; i < kLines; ++i) logger.Debug(message);
  const double enabled = Seconds(t0);

  log.SetEnabled(false);
  constexpr int kOff = 20000000;
  t0 = Clock::now();
  for (int i = 0; i < kOff; ++i) logger.Debug(message);
  const double disabled = Seconds(t0);

  std::printf("bare write+fstat:   %10.0f lines/s\n", kLines / bare);
  std::printf("TLogger::Debug:     %10.0f lines/s  (%.2fx the bare calls; goal <= 1.25x)\n",
              kLines / enabled, enabled / bare);
  std::printf("disabled call:      %10.1f ns  (goal < 50 ns)\n", disabled / kOff * 1e9);
  std::filesystem::remove_all(dir);
  return 0;
}
