#include <gtest/gtest.h>

#include <fstream>

#include "common/text/Crc.h"
#include "support/PtyDevice.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "Version.h"

namespace {

// kktctl against a port map of the test's own.
class Kktctl : public ::testing::Test {
 protected:
  void SetUp() override {
    map = (dir.path() / "ports.ini").string();
    std::ofstream(map) << "[Ports]\n7=" << (dir.path() / "no-such-tty").string() << "\n";
  }
  TProgramResult Run(const std::vector<std::string>& args,
                     std::map<std::string, std::string> env = {}) {
    env.emplace("VARKON_PORTS", map);
    env.emplace("LANGUAGE", "ru");
    return RunProgram("kktctl", args, env);
  }
  TempDir dir;
  std::string map;
};

TEST_F(Kktctl, BadArgumentsPrintUsageAndExitWith2) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"status"},
      {"send", "414243"},                              // no port
      {"send", "--port", "7"},                         // no block
      {"send", "--port", "x", "41"},                   // not a number
      {"send", "--port", "0", "41"},                   // no such port number
      {"send", "--port", "7", "--protocol", "2", "41"},
      {"send", "--port", "7", "--timeout"},            // option without its value
      {"send", "--port", "7", "--speed", "6", "41"},   // unknown option
      {"send", "--port", "7", "41", "42"},             // two blocks
  };
  for (const auto& args : cases) {
    const auto r = Run(args);
    EXPECT_EQ(r.Status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.Err.find("kktctl send --port N"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
}

TEST_F(Kktctl, FailuresWithACodeExitWith1) {
  auto r = Run({"send", "--port", "7", "4G"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "error -8: Неверный формат данных\n");

  r = Run({"send", "--port", "7", "414243"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "error -2: СOM порт недоступен\n");
  EXPECT_EQ(r.Out, "");

  r = Run({"send", "--port", "7", "414243"}, {{"LANGUAGE", "en"}});
  EXPECT_EQ(r.Err, "error -2: COM port is not available\n");
}

// A protocol-2 frame: 8F, LEN, NUMBER, data, CRC (no stuffing needed here).
std::string Frame2(unsigned number, const std::string& data) {
  std::string body;
  const unsigned len = static_cast<unsigned>(data.size()) + 2;
  body += static_cast<char>(len & 0xFF);
  body += static_cast<char>(len >> 8);
  body += static_cast<char>(number & 0xFF);
  body += static_cast<char>(number >> 8);
  body += data;
  const unsigned crc = varkon::Crc16Ccitt(body);
  return "\x8f" + body + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
}

TEST(KktctlExchange, StandardProtocolPrintsTheAnswerAndTheDeviceErrorByte) {
  TPtyDevice dev(5);
  dev.Run({
      pty::Exchange(pty::Bytes("05"), pty::Bytes("15")),
      pty::Exchange(pty::Bytes("02 03 41 42 43 43"), pty::Bytes("06")),
      pty::Reply(pty::Bytes("02 02 41 05 46")),
      pty::Expect(pty::Bytes("06")),
  });
  const auto r = RunProgram("kktctl", {"send", "--port", "5", "--raw", "414243"});
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(r.Status, 0) << r.Err;  // a completed exchange, whatever the device's error byte
  EXPECT_EQ(r.Out, "tx: 020341424343\nrx: 0202410546\nanswer: 4105\nresult: 5\n");
}

TEST(KktctlExchange, ProtocolTwoSynchronisesThenSends) {
  TPtyDevice dev(6);
  dev.Run({
      pty::Exchange(pty::Bytes("8F 00 00 0F 1D"), Frame2(0x0120, "")),
      pty::Exchange(Frame2(0x0121, "ABC"), Frame2(0x0121, std::string("\x41\x00", 2))),
  });
  const auto r = RunProgram("kktctl", {"send", "--port", "6", "--protocol", "1", "414243"});
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "answer: 4100\nresult: 0\n");
}

TEST(KktctlExchange, ASilentDeviceIsNoConnection) {
  TPtyDevice dev(8);
  dev.Run({pty::Silence(20000)});
  const auto r = RunProgram("kktctl", {"send", "--port", "8", "--timeout", "20", "0102"},
                            {{"LANGUAGE", "ru"}});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "error -1: Нет связи\n");
  EXPECT_EQ(r.Out, "");
}

TEST_F(Kktctl, ShowsTheBuildVersion) {
  const auto r = Run({"--version"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, std::string("kktctl ") + VARKON_FILE_VERSION + "\n");
}

}  // namespace
