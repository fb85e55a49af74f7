#include "common/text/Crc.h"

#include <gtest/gtest.h>

namespace {

TEST(Crc, CheckValuesAndContinuation) {
  EXPECT_EQ(varkon::Crc16Ccitt("123456789"), 0x29B1);
  EXPECT_EQ(varkon::Crc16Ccitt(""), 0xFFFF);
  // A sum continued over two halves equals the sum over the whole.
  EXPECT_EQ(varkon::Crc16Ccitt("6789", varkon::Crc16Ccitt("12345")), 0x29B1);

  EXPECT_EQ(varkon::Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(varkon::Crc32(""), 0u);
  EXPECT_EQ(varkon::Crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(varkon::Crc32("6789", varkon::Crc32("12345")), 0xCBF43926u);
}

TEST(Crc, Crc16OfALinkFrame) {
  // A protocol-2 frame 8F 05 00 01 00 41 42 43 AC 1B: the sum runs over
  // LEN..data and is sent low byte first.
  const std::string covered("\x05\x00\x01\x00\x41\x42\x43", 7);
  EXPECT_EQ(varkon::Crc16Ccitt(covered), 0x1BAC);
}

}  // namespace
