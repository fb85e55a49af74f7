#include "common/config/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "common/config/IniFile.h"

std::string SettingsDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/Varkon";
  const char* home = std::getenv("HOME");
  std::string base;
  if (home && *home) {
    base = home;
  } else if (const passwd* pw = getpwuid(getuid())) {
    base = pw->pw_dir;
  }
  return base + "/.config/Varkon";
}

std::string PortMapFileName() {
  const char* file = std::getenv("VARKON_PORTS");
  if (file && *file) return file;
  return SettingsDir() + "/ports.ini";
}

std::string DevicePathOf(int ComNumber) {
  const std::string mapped = TIniFile::Load(PortMapFileName()).Read("Ports", std::to_string(ComNumber));
  if (!mapped.empty()) return mapped;
  return "/dev/ttyS" + std::to_string(ComNumber - 1);
}
