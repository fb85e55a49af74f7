#pragma once
// Single-byte code pages used on the wire and in files: Windows-1251 (the log,
// saved reports, X5 files) and CP866 (the notification file, the text listener).
//
// The tables are built once from glibc iconv; conversion is a table lookup and
// safe from any thread. A character with no mapping becomes "?", and so does a
// malformed UTF-8 sequence (one "?" per bad byte).

#include <string>
#include <string_view>

namespace varkon {

enum class CodePage { Windows1251, Cp866 };

std::string Utf8ToCodePage(std::string_view utf8, CodePage cp);
// Appends the conversion to `out` (no allocation beyond its growth).
void AppendUtf8AsCodePage(std::string& out, std::string_view utf8, CodePage cp);
std::string CodePageToUtf8(std::string_view bytes, CodePage cp);

inline std::string Utf8ToCp1251(std::string_view s) { return Utf8ToCodePage(s, CodePage::Windows1251); }
inline std::string Cp1251ToUtf8(std::string_view s) { return CodePageToUtf8(s, CodePage::Windows1251); }
inline std::string Utf8ToCp866(std::string_view s) { return Utf8ToCodePage(s, CodePage::Cp866); }
inline std::string Cp866ToUtf8(std::string_view s) { return CodePageToUtf8(s, CodePage::Cp866); }

}  // namespace varkon
