#include "common/text/Crc.h"

#include <array>

namespace varkon {
namespace {

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
  std::array<std::uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i << 8);
    for (int k = 0; k < 8; ++k) c = (c & 0x8000) ? static_cast<std::uint16_t>(c << 1 ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
    t[i] = c;
  }
  return t;
}

constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1 ^ 0xEDB88320u) : (c >> 1);
    t[i] = c;
  }
  return t;
}

constexpr auto kCrc16 = MakeCrc16Table();
constexpr auto kCrc32 = MakeCrc32Table();

}  // namespace

std::uint16_t Crc16Ccitt(std::string_view bytes, std::uint16_t crc) {
  for (unsigned char b : bytes) crc = static_cast<std::uint16_t>(crc << 8 ^ kCrc16[(crc >> 8 ^ b) & 0xFF]);
  return crc;
}

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) {
  crc = ~crc;
  for (unsigned char b : bytes) crc = crc >> 8 ^ kCrc32[(crc ^ b) & 0xFF];
  return ~crc;
}

}  // namespace varkon
