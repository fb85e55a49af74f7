#include "common/text/Hex.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

TEST(Hex, LowerAndSpacedForms) {
  struct Case {
    std::string bytes, lower, spaced;
  } cases[] = {
      {"", "", ""},
      {"\x00"s, "00", "00"},
      {"ABC", "414243", "41 42 43"},
      {"\x02\x03\x41\x42\x43\x43", "020341424343", "02 03 41 42 43 43"},
      {"\xff\x8f\x9f\x0a", "ff8f9f0a", "FF 8F 9F 0A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(varkon::HexLower(c.bytes), c.lower);
    EXPECT_EQ(varkon::HexSpaced(c.bytes), c.spaced);
  }
}

TEST(Hex, DecodePairsAcceptsEitherCaseAndIgnoresAFinalUnpairedCharacter) {
  struct Case {
    std::string text, bytes;
  } cases[] = {
      {"", ""},
      {"414243", "ABC"},
      {"4100", "\x41\x00"s},
      {"aBcD", "\xab\xcd"},
      {"FFff", "\xff\xff"},
      {"12G", "\x12"},   // the unpaired last character is ignored whatever it is
      {"1", ""},
      {"12 ", "\x12"},
  };
  for (const auto& c : cases) {
    const auto got = varkon::HexDecodePairs(c.text);
    ASSERT_TRUE(got.has_value()) << c.text;
    EXPECT_EQ(*got, c.bytes) << c.text;
  }
}

TEST(Hex, DecodePairsRefusesANonHexCharacterInsideAPair) {
  for (const char* text : {"4G", "G4", "41 42", " 1", "0x41", "12-4", "\xd0\x90\xd0\x91"})
    EXPECT_FALSE(varkon::HexDecodePairs(text).has_value()) << text;
}

}  // namespace
