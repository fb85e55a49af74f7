#include "common/logging/Logger.h"

#include "common/logging/LogFile.h"
#include "common/text/Hex.h"

namespace {

constexpr std::size_t kDumpChunk = 20;

}  // namespace

// Lines are formatted only while the log is on, so a disabled log costs a
// load and a branch per call.

using TLevel = TLogFile::TLevel;

void TLogger::Debug(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Write(TLevel::Debug, {FName, " ", Message});
}

void TLogger::Info(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Write(TLevel::Info, {FName, " ", Message});
}

void TLogger::Error(std::string_view Message) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Write(TLevel::Error, {FName, " ", Message});
}

void TLogger::Error(std::string_view Message, const std::exception& E) const {
  TLogFile& log = GlobalLogger();
  if (log.GetEnabled()) log.Write(TLevel::Error, {FName, " ", Message, " (", E.what(), ")"});
}

void TLogger::WriteData(std::string_view Prefix, std::string_view Data) const {
  TLogFile& log = GlobalLogger();
  if (!log.GetEnabled()) return;
  std::size_t pos = 0;
  do {
    const std::string hex = varkon::HexSpaced(Data.substr(pos, kDumpChunk));
    log.Write(TLevel::Debug, {FName, " ", Prefix, hex});
    pos += kDumpChunk;
  } while (pos < Data.size());
}
