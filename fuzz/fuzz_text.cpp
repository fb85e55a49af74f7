// Hexadecimal text and code-page conversion on arbitrary input: no crash, no
// read past the data, and the conversions keep their invariants.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/text/CodePage.h"
#include "common/text/Hex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);

  if (auto bytes = varkon::HexDecodePairs(in)) {
    if (bytes->size() != size / 2) std::abort();
    // Lower-case hex of what was read is what was written, up to case.
    const std::string back = varkon::HexLower(*bytes);
    for (std::size_t i = 0; i < back.size(); ++i)
      if (varkon::HexDigitValue(back[i]) != varkon::HexDigitValue(in[i])) std::abort();
  }
  if (varkon::HexSpaced(in).size() != (size ? size * 3 - 1 : 0)) std::abort();

  for (auto cp : {varkon::CodePage::Windows1251, varkon::CodePage::Cp866}) {
    // Every single-byte text decodes and encodes back to itself where the
    // code page maps the byte; one byte in, one byte out.
    const std::string utf8 = varkon::CodePageToUtf8(in, cp);
    const std::string again = varkon::Utf8ToCodePage(utf8, cp);
    if (again.size() != size) std::abort();
    for (std::size_t i = 0; i < size; ++i)
      if (again[i] != in[i] && again[i] != '?') std::abort();
    varkon::Utf8ToCodePage(in, cp);  // arbitrary bytes as UTF-8
  }
  return 0;
}
