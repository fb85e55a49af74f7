#include "common/logging/LogFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/logging/Logger.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a log file, each without its CR LF; fails on a line not ended by CR LF.
std::vector<std::string> Lines(const fs::path& path) {
  const std::string text = ReadFile(path);
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF: " << text.substr(pos);
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// The part of a line after the time stamp and the thread number.
std::string Body(const std::string& line) {
  static const std::regex head(R"(^\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] \[\d{8,}\] )");
  std::smatch m;
  if (!std::regex_search(line, m, head)) return "<no head> " + line;
  return m.suffix();
}

// Each test gets the process-wide writer enabled on a file of its own folder,
// and leaves it as the program starts it: disabled, no name, no limits.
class GlobalLog : public ::testing::Test {
 protected:
  void SetUp() override {
    file = dir.path() / "test.log";
    log().SetFileName(file);
    log().SetEnabled(true);
  }
  void TearDown() override {
    log().SetEnabled(false);
    log().SetFileName("");
    log().SetMaxFileSize(0);
    log().SetMaxFileCount(0);
  }
  static TLogFile& log() { return GlobalLogger(); }

  TempDir dir;
  fs::path file;
};

TEST_F(GlobalLog, LineFormatLevelsAndExceptions) {
  TLogger logger("TComPort");
  logger.Debug("Close.1");
  logger.Info("Open COM3");
  logger.Error("CreateFile ERROR");
  logger.Error("Send", std::runtime_error("Нет связи"));
  log().Trace("trace line");
  log().Error("plain", std::runtime_error("what"));
  log().Close();

  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 6u);
  const std::regex full(R"(^\[(\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d)\.(\d{3})\] \[(\d{8,})\] \[DEBUG\] TComPort Close\.1$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, full)) << lines[0];
  EXPECT_EQ(std::stoi(m[8]), gettid());
  EXPECT_EQ(Body(lines[1]), "[ INFO] TComPort Open COM3");
  EXPECT_EQ(Body(lines[2]), "[ERROR] TComPort CreateFile ERROR");
  EXPECT_EQ(Body(lines[3]), "[ERROR] TComPort Send (\xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8)");
  EXPECT_EQ(Body(lines[4]), "[TRACE] trace line");
  EXPECT_EQ(Body(lines[5]), "[ERROR] plain what");
}

TEST_F(GlobalLog, CyrillicArrivesAsWindows1251AndUnmappedAsQuestionMark) {
  TLogger("TPrinterProtocol").Debug("Нет связи, СOM порт 日");
  log().Close();
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Body(lines[0]), "[DEBUG] TPrinterProtocol \xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8, \xd1OM \xef\xee\xf0\xf2 ?");
}

TEST_F(GlobalLog, DumpsTwentyBytesALine) {
  TLogger logger("TPrinterProtocol");
  std::string bytes45;
  for (int i = 0; i < 45; ++i) bytes45.push_back(static_cast<char>(i));
  logger.WriteTxData(std::string("\x02\x03\x41\x42\x43\x43", 6));
  logger.WriteRxData("");
  logger.WriteTxData(bytes45.substr(0, 20));
  logger.WriteRxData(bytes45.substr(0, 21));
  logger.WriteTxData(bytes45);
  log().Close();

  const auto lines = Lines(file);
  std::vector<std::string> bodies;
  for (const auto& l : lines) bodies.push_back(Body(l));
  const std::string first20 =
      "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13";
  const std::vector<std::string> expected = {
      "[DEBUG] TPrinterProtocol -> 02 03 41 42 43 43",
      "[DEBUG] TPrinterProtocol <- ",
      "[DEBUG] TPrinterProtocol -> " + first20,
      "[DEBUG] TPrinterProtocol <- " + first20,
      "[DEBUG] TPrinterProtocol <- 14",
      "[DEBUG] TPrinterProtocol -> " + first20,
      "[DEBUG] TPrinterProtocol -> 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27",
      "[DEBUG] TPrinterProtocol -> 28 29 2A 2B 2C",
  };
  EXPECT_EQ(bodies, expected);
}

TEST_F(GlobalLog, RollOverKeepsMaxFileCountOlderFiles) {
  log().SetMaxFileSize(1);
  log().SetMaxFileCount(3);
  auto rolled = [&](int k) { return fs::path(file.string() + "." + std::to_string(k) + ".log"); };
  std::ofstream(rolled(1)) << "one";
  std::ofstream(rolled(2)) << "two";
  std::ofstream(rolled(3)) << "three";

  TLogger logger("T");
  const std::string message(1000, 'x');
  for (int i = 0; i < 2000 && fs::file_size(rolled(1)) < 1000; ++i) logger.Debug(message);
  // The roll-over happened on the first line that took the file past 1 MiB.
  EXPECT_GT(fs::file_size(rolled(1)), 1048576u);
  EXPECT_LT(fs::file_size(rolled(1)), 1048576u + 1100u);
  EXPECT_EQ(ReadFile(rolled(2)), "one");
  EXPECT_EQ(ReadFile(rolled(3)), "two");
  EXPECT_FALSE(fs::exists(rolled(4)));
  EXPECT_EQ(fs::file_size(file), 0u);

  logger.Debug("after");
  log().Close();
  ASSERT_EQ(Lines(file).size(), 1u);
  EXPECT_EQ(Body(Lines(file)[0]), "[DEBUG] T after");
}

TEST_F(GlobalLog, NoRollOverWithoutAFileCount) {
  log().SetMaxFileSize(1);
  log().SetMaxFileCount(0);
  TLogger logger("T");
  const std::string message(4000, 'y');
  for (int i = 0; i < 300; ++i) logger.Debug(message);
  log().Close();
  EXPECT_GT(fs::file_size(file), 1048576u);
  EXPECT_EQ(Lines(file).size(), 300u);
  EXPECT_FALSE(fs::exists(file.string() + ".1.log"));
}

TEST_F(GlobalLog, FourThreadsNeverTearOrInterleaveALine) {
  constexpr int kThreads = 4, kLines = 10000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      TLogger logger("W" + std::to_string(t));
      const std::string pad(t * 17 + 5, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) logger.Debug(std::to_string(i) + " " + pad);
    });
  for (auto& th : threads) th.join();
  log().Close();

  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  const std::regex body(R"(^\[DEBUG\] W(\d) (\d+) ([a-d]+)$)");
  std::vector<int> next(kThreads, 0);
  for (const auto& line : lines) {
    std::smatch m;
    const std::string b = Body(line);
    ASSERT_TRUE(std::regex_match(b, m, body)) << line;
    const int t = std::stoi(m[1]);
    ASSERT_EQ(std::stoi(m[2]), next[t]++) << "lines of one thread out of order";
    ASSERT_EQ(m[3].str(), std::string(t * 17 + 5, static_cast<char>('a' + t)));
  }
}

TEST_F(GlobalLog, TwoWritersOnOneFileNeverOverwriteEachOther) {
  // A second writer of the same file stands for a second program: each moved
  // to the end once when it opened the file.
  TLogFile other;
  other.SetFileName(file);
  other.SetEnabled(true);
  log().Debug("first");
  other.Debug("second");
  log().Debug("third");
  other.Debug("fourth");
  log().Close();
  other.Close();
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(Body(lines[0]), "[DEBUG] first");
  EXPECT_EQ(Body(lines[1]), "[DEBUG] second");
  EXPECT_EQ(Body(lines[2]), "[DEBUG] third");
  EXPECT_EQ(Body(lines[3]), "[DEBUG] fourth");
}

TEST_F(GlobalLog, CreatesOnlyTheLastFolderLevel) {
  const fs::path one = dir.path() / "new" / "a.log";
  log().SetFileName(one);
  log().Debug("x");
  log().Close();
  EXPECT_EQ(Lines(one).size(), 1u);

  const fs::path two = dir.path() / "missing" / "deeper" / "b.log";
  log().SetFileName(two);
  log().Debug("lost");  // silently
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST_F(GlobalLog, ChangingNameOrEnabledClosesAndReopens) {
  log().Debug("a");
  const fs::path second = dir.path() / "second.log";
  log().SetFileName(second);
  log().Debug("b");
  fs::remove(second);
  log().SetEnabled(false);
  log().Debug("dropped");
  EXPECT_FALSE(fs::exists(second));
  log().SetEnabled(true);
  log().Debug("c");
  log().Close();
  ASSERT_EQ(Lines(file).size(), 1u);
  ASSERT_EQ(Lines(second).size(), 1u);
  EXPECT_EQ(Body(Lines(second)[0]), "[DEBUG] c");
}

TEST(LogFile, DisabledByDefaultAndHarmlessWithoutAName) {
  TempDir dir;
  const fs::path file = dir.path() / "x.log";
  TLogFile log;
  EXPECT_FALSE(log.GetEnabled());
  EXPECT_EQ(log.GetFileName(), "");
  EXPECT_EQ(log.GetMaxFileSize(), 0);
  EXPECT_EQ(log.GetMaxFileCount(), 0);
  log.SetFileName(file);
  log.Debug("nothing");
  EXPECT_FALSE(fs::exists(file));

  TLogFile unnamed;
  unnamed.SetEnabled(true);
  unnamed.Debug("nowhere");  // no file, no failure
  EXPECT_TRUE(fs::is_empty(dir.path()));

  // The global writer starts the same way in every program.
  EXPECT_FALSE(GlobalLogger().GetEnabled());
}

TEST(LogFile, ConfiguredFromTheEnvironment) {
  TempDir dir;
  const std::string name = (dir.path() / "env.log").string();
  setenv("VARKON_LOG", name.c_str(), 1);
  setenv("VARKON_LOG_MAXSIZE", "5", 1);
  setenv("VARKON_LOG_MAXCOUNT", "x3", 1);  // not a number: ignored
  ConfigureLogFromEnvironment();
  EXPECT_TRUE(GlobalLogger().GetEnabled());
  EXPECT_EQ(GlobalLogger().GetFileName(), name);
  EXPECT_EQ(GlobalLogger().GetMaxFileSize(), 5);
  EXPECT_EQ(GlobalLogger().GetMaxFileCount(), 0);
  unsetenv("VARKON_LOG");
  unsetenv("VARKON_LOG_MAXSIZE");
  unsetenv("VARKON_LOG_MAXCOUNT");
  GlobalLogger().SetEnabled(false);
  GlobalLogger().SetFileName("");
  GlobalLogger().SetMaxFileSize(0);
}

}  // namespace
