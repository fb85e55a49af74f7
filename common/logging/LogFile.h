#pragma once
// The process-wide diagnostic log writer.
//
// One line per message:
//   [dd.mm.yyyy hh:mm:ss.zzz] [tttttttt] [LEVEL] message CR LF
// in Windows-1251 bytes, appended to FileName with one write call per line.
// The file stays open between lines and rolls over to FileName.1.log ...
// FileName.<MaxFileCount>.log when it grows past MaxFileSize megabytes.
// Created disabled, with no file name and both limits 0. Nothing here throws.

#include <atomic>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>

class TLogFile {
 public:
  TLogFile() = default;
  ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  bool GetEnabled() const { return FEnabled.load(std::memory_order_relaxed); }
  // Storing a changed value closes the file; the next line opens it again.
  void SetEnabled(bool Value);

  std::string GetFileName() const;
  // A different name closes the current file.
  void SetFileName(const std::string& Value);

  int GetMaxFileSize() const;       // megabytes; 0 or less: never roll over
  void SetMaxFileSize(int Value);
  int GetMaxFileCount() const;      // rolled-over files kept; 0 or less: none
  void SetMaxFileCount(int Value);

  void Trace(std::string_view Data);
  void Info(std::string_view Data);
  void Error(std::string_view Data);
  void Error(std::string_view Data, const std::exception& E);
  void Debug(std::string_view Data);

  enum class TLevel { Trace, Info, Error, Debug };
  // One line of the given level whose message is the parts joined (so that a
  // named logger need not build the message first).
  void Write(TLevel Level, std::initializer_list<std::string_view> Parts);

  // Closes the file (it is reopened by the next line).
  void Close();

 private:
  void OpenFile();
  void CloseFile();
  void RollOver();

  mutable std::mutex FLock;
  std::atomic<bool> FEnabled{false};
  std::string FFileName;
  int FMaxFileSize = 0;
  int FMaxFileCount = 0;
  int FHandle = -1;
  // The formatted date and time of the second last written, so that a line
  // within the same second only formats its milliseconds.
  long long FStampSecond = -1;
  char FStamp[48] = {};
  std::string FLine;  // reused buffer for the line being written
};

// The single instance, created on first use and destroyed at program end.
TLogFile& GlobalLogger();

// Switches the log on from the environment, read once at program start:
// VARKON_LOG (the file name; setting it enables the log), VARKON_LOG_MAXSIZE
// (megabytes) and VARKON_LOG_MAXCOUNT (rolled-over files kept). A value that
// is not a whole number is reported on standard error and ignored.
void ConfigureLogFromEnvironment();
