#include "common/logging/Logger.h"

#include "common/logging/LogFile.h"
#include "common/text/Hex.h"

namespace {

constexpr std::size_t kDumpChunk = 20;

}  // namespace

// Lines are formatted only while the log is on, so a disabled log costs a
// load and a branch per call.

std::string TLogger::Line(std::string_view Message) const {
  std::string line;
  line.reserve(FName.size() + 1 + Message.size());
  line.append(FName).append(" ").append(Message);
  return line;
}

void TLogger::Debug(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Debug(Line(Message));
}

void TLogger::Info(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Info(Line(Message));
}

void TLogger::Error(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Error(Line(Message));
}

void TLogger::Error(std::string_view Message, const std::exception& E) const {
  TLogFile& log = GlobalLogger();
  if (!log.GetEnabled()) return;
  std::string line = Line(Message);
  line.append(" (").append(E.what()).append(")");
  log.Error(line);
}

void TLogger::WriteData(std::string_view Prefix, std::string_view Data) const {
  TLogFile& log = GlobalLogger();
  if (!log.GetEnabled()) return;
  std::size_t pos = 0;
  do {
    const std::string_view chunk = Data.substr(pos, kDumpChunk);
    std::string line = Line(Prefix);
    line.append(varkon::HexSpaced(chunk));
    log.Debug(line);
    pos += kDumpChunk;
  } while (pos < Data.size());
}
