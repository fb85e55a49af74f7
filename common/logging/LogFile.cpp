#include "common/logging/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "common/text/CodePage.h"

namespace {

constexpr long long kMegabyte = 1048576;

// The calling thread's number, as at least 8 digits with leading zeros.
const std::string& ThreadNumberText() {
  thread_local const std::string text = [] {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8d", static_cast<int>(gettid()));
    return std::string(buf);
  }();
  return text;
}

std::string RolledName(const std::string& FileName, int k) {
  return FileName + "." + std::to_string(k) + ".log";
}

}  // namespace

TLogFile::~TLogFile() { CloseFile(); }

void TLogFile::SetEnabled(bool Value) {
  std::lock_guard lock(FLock);
  if (FEnabled.load(std::memory_order_relaxed) == Value) return;
  FEnabled.store(Value, std::memory_order_relaxed);
  CloseFile();
}

std::string TLogFile::GetFileName() const {
  std::lock_guard lock(FLock);
  return FFileName;
}

void TLogFile::SetFileName(const std::string& Value) {
  std::lock_guard lock(FLock);
  if (Value == FFileName) return;
  CloseFile();
  FFileName = Value;
}

int TLogFile::GetMaxFileSize() const {
  std::lock_guard lock(FLock);
  return FMaxFileSize;
}

void TLogFile::SetMaxFileSize(int Value) {
  std::lock_guard lock(FLock);
  FMaxFileSize = Value;
}

int TLogFile::GetMaxFileCount() const {
  std::lock_guard lock(FLock);
  return FMaxFileCount;
}

void TLogFile::SetMaxFileCount(int Value) {
  std::lock_guard lock(FLock);
  FMaxFileCount = Value;
}

void TLogFile::Trace(std::string_view Data) { Write(TLevel::Trace, {Data}); }
void TLogFile::Info(std::string_view Data) { Write(TLevel::Info, {Data}); }
void TLogFile::Error(std::string_view Data) { Write(TLevel::Error, {Data}); }
void TLogFile::Debug(std::string_view Data) { Write(TLevel::Debug, {Data}); }

void TLogFile::Error(std::string_view Data, const std::exception& E) {
  Write(TLevel::Error, {Data, " ", E.what()});
}

void TLogFile::Close() {
  std::lock_guard lock(FLock);
  CloseFile();
}

void TLogFile::Write(TLevel Level, std::initializer_list<std::string_view> Parts) {
  static constexpr std::string_view kTags[] = {"[TRACE] ", "[ INFO] ", "[ERROR] ", "[DEBUG] "};
  std::lock_guard lock(FLock);
  if (!FEnabled.load(std::memory_order_relaxed)) return;

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec != FStampSecond) {
    tm t{};
    const time_t sec = now.tv_sec;
    localtime_r(&sec, &t);
    std::snprintf(FStamp, sizeof FStamp, "%.2d.%.2d.%.4d %.2d:%.2d:%.2d", t.tm_mday, t.tm_mon + 1,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    FStampSecond = now.tv_sec;
  }
  // "[dd.mm.yyyy hh:mm:ss.zzz] [tttttttt] "
  FLine.clear();
  FLine.push_back('[');
  FLine.append(FStamp);
  const int ms = static_cast<int>(now.tv_nsec / 1000000);
  const char millis[] = {'.', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10)};
  FLine.append(millis, sizeof millis);
  FLine.append("] [");
  FLine.append(ThreadNumberText());
  FLine.append("] ");
  FLine.append(kTags[static_cast<int>(Level)]);
  for (std::string_view part : Parts)
    varkon::AppendUtf8AsCodePage(FLine, part, varkon::CodePage::Windows1251);
  FLine.append("\r\n");

  if (FHandle < 0) OpenFile();
  if (FHandle < 0) return;  // the line is lost, silently
  if (::write(FHandle, FLine.data(), FLine.size()) < 0) return;
  if (FMaxFileSize > 0) {
    struct stat st{};
    if (fstat(FHandle, &st) == 0 && st.st_size > FMaxFileSize * kMegabyte) RollOver();
  }
}

void TLogFile::OpenFile() {
  if (FFileName.empty()) return;
  // Only the last folder level is created.
  const auto slash = FFileName.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    const std::string dir = FFileName.substr(0, slash);
    struct stat st{};
    if (stat(dir.c_str(), &st) != 0) mkdir(dir.c_str(), 0777);
  }
  // O_APPEND: lines of several processes sharing the file never overwrite
  // each other; others may read it while it is open.
  FHandle = ::open(FFileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void TLogFile::CloseFile() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
}

void TLogFile::RollOver() {
  if (FMaxFileCount <= 0) return;
  std::remove(RolledName(FFileName, FMaxFileCount).c_str());
  for (int k = FMaxFileCount - 1; k >= 1; --k)
    std::rename(RolledName(FFileName, k).c_str(), RolledName(FFileName, k + 1).c_str());
  CloseFile();
  std::rename(FFileName.c_str(), RolledName(FFileName, 1).c_str());
  OpenFile();
}

TLogFile& GlobalLogger() {
  static TLogFile instance;
  return instance;
}

namespace {

bool ReadIntVariable(const char* name, int& value) {
  const char* text = std::getenv(name);
  if (!text) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || v < -2147483647L || v > 2147483647L) {
    std::cerr << name << ": not a whole number: \"" << text << "\", ignored\n";
    return false;
  }
  value = static_cast<int>(v);
  return true;
}

}  // namespace

void ConfigureLogFromEnvironment() {
  TLogFile& log = GlobalLogger();
  int value = 0;
  if (ReadIntVariable("VARKON_LOG_MAXSIZE", value)) log.SetMaxFileSize(value);
  if (ReadIntVariable("VARKON_LOG_MAXCOUNT", value)) log.SetMaxFileCount(value);
  if (const char* name = std::getenv("VARKON_LOG")) {
    log.SetFileName(name);
    log.SetEnabled(true);
  }
}
