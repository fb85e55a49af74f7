#include "common/text/CodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, RussianTextInBothCodePages) {
  // "Нет связи" and a mixed line with the Cyrillic capital Es.
  EXPECT_EQ(varkon::Utf8ToCp1251("Нет связи"), "\xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8");
  EXPECT_EQ(varkon::Utf8ToCp866("Нет связи"), "\x8d\xa5\xe2 \xe1\xa2\xef\xa7\xa8");
  EXPECT_EQ(varkon::Utf8ToCp1251("СOM порт"), "\xd1OM \xef\xee\xf0\xf2");
  EXPECT_EQ(varkon::Utf8ToCp1251("Ёё№"), "\xa8\xb8\xb9");
  EXPECT_EQ(varkon::Cp1251ToUtf8("\xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8"), "Нет связи");
  EXPECT_EQ(varkon::Cp866ToUtf8("\x8d\xa5\xe2 \xe1\xa2\xef\xa7\xa8"), "Нет связи");
}

TEST(CodePage, UnmappedAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(varkon::Utf8ToCp1251("a€b"), "a\x88" "b");  // the euro sign has a place in 1251
  EXPECT_EQ(varkon::Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(varkon::Utf8ToCp1251("x😀y"), "x?y");
  EXPECT_EQ(varkon::Utf8ToCp866("€"), "?");
  EXPECT_EQ(varkon::Utf8ToCp1251("\xd0"), "?");           // truncated sequence
  EXPECT_EQ(varkon::Utf8ToCp1251("\xff\xfe" "A"), "??A");  // invalid bytes
  EXPECT_EQ(varkon::Cp1251ToUtf8("\x98"), "?");            // the one unassigned byte of 1251
}

TEST(CodePage, EveryMappedByteRoundTrips) {
  for (auto cp : {varkon::CodePage::Windows1251, varkon::CodePage::Cp866}) {
    for (int b = 0; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      const std::string utf8 = varkon::CodePageToUtf8(one, cp);
      if (utf8 == "?" && b != '?') continue;
      EXPECT_EQ(varkon::Utf8ToCodePage(utf8, cp), one) << b;
    }
  }
}

}  // namespace
