#include "common/config/Paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/config/IniFile.h"
#include "support/TempDir.h"

namespace {

TEST(IniFile, SectionsKeysCommentsAndCase) {
  const auto ini = TIniFile::Parse(
      "; comment\n[Ports]\n3 = /dev/ttyUSB0\r\n# other\n 12=/dev/pts/7\n[other]\n3=x\nnoequals\n");
  EXPECT_EQ(ini.Read("Ports", "3"), "/dev/ttyUSB0");
  EXPECT_EQ(ini.Read("ports", "12"), "/dev/pts/7");
  EXPECT_EQ(ini.Read("Other", "3"), "x");
  EXPECT_FALSE(ini.Has("Ports", "4"));
  EXPECT_EQ(ini.Read("Ports", "4", "def"), "def");
  EXPECT_FALSE(TIniFile::Load("/nonexistent/file.ini").Has("Ports", "3"));
}

TEST(PortMap, MappedDefaultAndReadAtEveryCall) {
  TempDir dir;
  const std::string map = (dir.path() / "ports.ini").string();
  setenv("VARKON_PORTS", map.c_str(), 1);
  EXPECT_EQ(DevicePathOf(1), "/dev/ttyS0");
  EXPECT_EQ(DevicePathOf(10), "/dev/ttyS9");
  std::ofstream(map) << "[Ports]\n3=/dev/pts/9\n";
  EXPECT_EQ(DevicePathOf(3), "/dev/pts/9");
  std::ofstream(map) << "[Ports]\n3=/dev/pts/4\n";
  EXPECT_EQ(DevicePathOf(3), "/dev/pts/4");
  EXPECT_EQ(DevicePathOf(4), "/dev/ttyS3");

  unsetenv("VARKON_PORTS");
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(PortMapFileName(), dir.path().string() + "/Varkon/ports.ini");
  EXPECT_EQ(SettingsDir(), dir.path().string() + "/Varkon");
  unsetenv("XDG_CONFIG_HOME");
  setenv("VARKON_PORTS", "/nonexistent/varkon-test-ports.ini", 1);
}

}  // namespace
