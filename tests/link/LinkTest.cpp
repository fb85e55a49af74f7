#include "halden/link/Link.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

TEST(Link, BaudRateCodes) {
  const int rates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
  for (int code = 0; code <= 9; ++code) EXPECT_EQ(BaudRateOf(code), rates[code]);
  for (int code : {-1, 10, 255}) EXPECT_EQ(BaudRateOf(code), 4800);
}

TEST(Link, ResultCodeOfAnAnswer) {
  struct Case {
    std::string answer;
    int code;
  } cases[] = {
      {"\xff\x01\x07", 7}, {"\x11\x05", 5}, {"\x11\x00\x1e", 0}, {"\x11", 0},
      {"", 0},             {"\xff\x01", 0}, {"\xff", 0},         {"\x41\x00"s, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(AnswerResultCode(c.answer), c.code);
}

TEST(Link, ErrorsCarryTheirCodeAndText) {
  try {
    RaiseError(E_PORTBUSY, S_PORTBUSY);
    FAIL();
  } catch (const EDriverError& e) {
    EXPECT_EQ(e.ErrorCode(), -3);
    EXPECT_STREQ(e.what(), "\xd0\xa1OM порт занят другим приложением");  // Cyrillic Es
    EXPECT_EQ(e.WideMessage(), e.what());
  }
}

}  // namespace
