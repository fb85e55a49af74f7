#include "halden/main/MainView.h"

#include <cstdlib>

#include "Version.h"
#include "common/text/Intl.h"
#include "halden/server/Halden.h"
#include "halden/server/PrinterPorts.h"

namespace {

// The word size of the build; the program was once shipped only as 32-bit.
std::string WordSize() {
  return " (" + std::to_string(sizeof(void*) * 8) + "-bit)";
}

}  // namespace

std::string MainCaption() {
  return std::string("Halden ") + VARKON_FILE_VERSION + WordSize();
}

std::string VersionLine() {
  return std::string(_("Версия: ")) + VARKON_FILE_VERSION + WordSize();
}

std::vector<std::string> PortRowTexts(const TPrinterPort& Port) {
  std::vector<std::string> texts;
  texts.push_back("COM " + std::to_string(Port.PortNumber()));
  if (Port.Locked()) {
    texts.push_back(_("занят"));
    texts.push_back(Port.CompName());
    texts.push_back(std::to_string(Port.AppPID()));
    texts.push_back(Port.AppName());
  } else {
    texts.push_back(_("свободен"));
    texts.insert(texts.end(), 3, std::string());
  }
  return texts;
}

std::vector<std::string> ClientRowTexts(int Position, const THalden& Client) {
  return {std::to_string(Position), Client.CompName(), std::to_string(Client.AppPID()),
          Client.AppName()};
}

TWindowBehaviour BehaviourFor(bool Display, bool TrayAvailable) {
  TWindowBehaviour b;
  if (!Display) {
    b.Headless = true;
    return b;
  }
  b.Tray = TrayAvailable;
  b.ShowAtStart = !TrayAvailable;
  b.HideOnMinimise = TrayAvailable;
  b.HideOnOkCancel = TrayAvailable;
  return b;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}
