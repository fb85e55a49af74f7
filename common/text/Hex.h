#pragma once
// Byte strings as hexadecimal text.
//
// Byte strings are std::string holding one byte per char, without any
// code-page conversion.

#include <optional>
#include <string>
#include <string_view>

namespace varkon {

// Two lower-case digits per byte, no separators ("%.2x" per byte): the form
// Halden produces at its boundary.
std::string HexLower(std::string_view bytes);

// Two upper-case digits per byte, bytes separated by one blank, no trailing
// blank: the form of log dumps and of TesselBench's pages.
std::string HexSpaced(std::string_view bytes);

// Halden's reader: each pair of characters is one byte, first digit high,
// either case; no separators; a final unpaired character is ignored, whatever
// it is. Returns nothing when a pair holds a non-hexadecimal character.
std::optional<std::string> HexDecodePairs(std::string_view text);

// The value of one hexadecimal digit, or -1.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace varkon
