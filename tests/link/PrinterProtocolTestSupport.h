#pragma once
// Shared by the protocol tests: the process log switched on into a temporary
// file, read back as messages.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/logging/LogFile.h"
#include "common/text/CodePage.h"
#include "support/TempDir.h"

class LogCapture {
 public:
  LogCapture() {
    GlobalLogger().SetFileName((FDir.path() / "link.log").string());
    GlobalLogger().SetEnabled(true);
  }
  ~LogCapture() { GlobalLogger().SetEnabled(false); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The messages of the lines so far, without time, thread and level, in UTF-8.
  std::vector<std::string> Messages() {
    GlobalLogger().Close();
    std::ifstream in(FDir.path() / "link.log", std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string text = varkon::CodePageToUtf8(raw, varkon::CodePage::Windows1251);
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(pos, end - pos);
      std::size_t head = 0;
      for (int i = 0; i < 3 && head != std::string::npos; ++i) {
        head = line.find("] ", head);
        if (head != std::string::npos) head += 2;
      }
      out.push_back(head == std::string::npos ? line : line.substr(head));
      pos = end + 2;
    }
    return out;
  }
  bool Has(const std::string& Message) {
    for (const auto& m : Messages())
      if (m == Message) return true;
    return false;
  }

 private:
  TempDir FDir;
};
