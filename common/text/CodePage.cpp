#include "common/text/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace varkon {
namespace {

constexpr char32_t kNoChar = 0xFFFFFFFF;

struct Table {
  std::array<char32_t, 128> upper{};                     // bytes 0x80..0xFF -> code point
  std::vector<std::pair<char32_t, std::uint8_t>> back;   // sorted code point -> byte
};

Table BuildTable(const char* name) {
  Table t;
  t.upper.fill(kNoChar);
  iconv_t cd = iconv_open("UTF-32LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return t;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* ip = &in;
    char* op = reinterpret_cast<char*>(out);
    std::size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && sizeof out - ol == 4) {
      const char32_t cp = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
      t.upper[b - 0x80] = cp;
      t.back.emplace_back(cp, static_cast<std::uint8_t>(b));
    }
  }
  iconv_close(cd);
  std::sort(t.back.begin(), t.back.end());
  return t;
}

const Table& TableOf(CodePage cp) {
  static const Table w1251 = BuildTable("WINDOWS-1251");
  static const Table cp866 = BuildTable("CP866");
  return cp == CodePage::Windows1251 ? w1251 : cp866;
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i,
// or returns kNoChar and advances by one byte for a malformed sequence.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto c = static_cast<unsigned char>(s[i]);
  int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return kNoChar;
  }
  char32_t cp = len == 1 ? c : c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return kNoChar;
    }
    cp = cp << 6 | (d & 0x3F);
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | cp >> 6));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | cp >> 12));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | cp >> 18));
    out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string Utf8ToCodePage(std::string_view utf8, CodePage cp) {
  std::string out;
  AppendUtf8AsCodePage(out, utf8, cp);
  return out;
}

void AppendUtf8AsCodePage(std::string& out, std::string_view utf8, CodePage cp) {
  out.reserve(out.size() + utf8.size());
  const Table* table = nullptr;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      out.push_back(utf8[i++]);
      continue;
    }
    const char32_t c = NextCodePoint(utf8, i);
    if (!table) table = &TableOf(cp);
    auto it = std::lower_bound(table->back.begin(), table->back.end(), std::pair<char32_t, std::uint8_t>(c, 0));
    out.push_back(it != table->back.end() && it->first == c ? static_cast<char>(it->second) : '?');
  }
}

std::string CodePageToUtf8(std::string_view bytes, CodePage cp) {
  std::string out;
  out.reserve(bytes.size() * 2);
  const Table* table = nullptr;
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    if (!table) table = &TableOf(cp);
    const char32_t c = table->upper[b - 0x80];
    if (c == kNoChar) out.push_back('?');
    else AppendUtf8(out, c);
  }
  return out;
}

}  // namespace varkon
