#pragma once
// Shared by the protocol tests: frames as a device sends them, and the
// process log switched on into a temporary file, read back as messages.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/logging/LogFile.h"
#include "common/text/CodePage.h"
#include "common/text/Crc.h"
#include "support/FakeSerialPort.h"
#include "support/TempDir.h"

// The standard protocol's frame for an answer block: STX LEN DATA LRC.
// Damaged spoils the LRC.
inline std::string AnswerFrame(const std::string& Hex, bool Damaged = false) {
  const std::string data = FakeSerialPort::Bytes(Hex);
  char lrc = static_cast<char>(data.size());
  for (char c : data) lrc ^= c;
  if (Damaged) lrc ^= 0x5A;
  return std::string("\x02", 1) + static_cast<char>(data.size()) + data + lrc;
}

inline void AppendWord(std::string& To, unsigned Value) {
  To.push_back(static_cast<char>(Value & 0xFF));
  To.push_back(static_cast<char>((Value >> 8) & 0xFF));
}

// A protocol-2 frame as the device sends it: 8F, then LEN NUMBER DATA CRC
// stuffed. Len overrides LEN where >= 0; CrcDelta damages the CRC.
inline std::string DeviceFrame(unsigned Number, const std::string& DataHex, unsigned CrcDelta = 0,
                               int Len = -1) {
  const std::string data = FakeSerialPort::Bytes(DataHex);
  std::string body;
  AppendWord(body, Len >= 0 ? static_cast<unsigned>(Len) : data.size() + 2);
  AppendWord(body, Number);
  body += data;
  AppendWord(body, varkon::Crc16Ccitt(body) ^ CrcDelta);
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
