#include "common/text/Hex.h"

namespace varkon {
namespace {

constexpr char kLower[] = "0123456789abcdef";
constexpr char kUpper[] = "0123456789ABCDEF";

}  // namespace

std::string HexLower(std::string_view bytes) {
  std::string out(bytes.size() * 2, '\0');
  char* p = out.data();
  for (unsigned char b : bytes) {
    *p++ = kLower[b >> 4];
    *p++ = kLower[b & 0x0F];
  }
  return out;
}

std::string HexSpaced(std::string_view bytes) {
  if (bytes.empty()) return {};
  std::string out(bytes.size() * 3 - 1, ' ');
  char* p = out.data();
  for (unsigned char b : bytes) {
    p[0] = kUpper[b >> 4];
    p[1] = kUpper[b & 0x0F];
    p += 3;
  }
  return out;
}

std::optional<std::string> HexDecodePairs(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const int hi = HexDigitValue(text[i]);
    const int lo = HexDigitValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi << 4 | lo));
  }
  return out;
}

}  // namespace varkon
