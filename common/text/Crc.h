#pragma once
// Checksums shared by the link, the registration number and the FN notifications.

#include <cstdint>
#include <string_view>

namespace varkon {

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection,
// no final XOR. "123456789" gives 0x29B1. `crc` continues an earlier sum.
std::uint16_t Crc16Ccitt(std::string_view bytes, std::uint16_t crc = 0xFFFF);

// CRC-32 as zlib computes it (reflected polynomial 0xEDB88320, initial and
// final XOR 0xFFFFFFFF). "123456789" gives 0xCBF43926. `crc` continues an
// earlier result (0 to start).
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);

}  // namespace varkon
