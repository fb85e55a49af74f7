#pragma once
// What the main window shows, decided without widgets: the caption, the rows
// of the port and client lists, and how the window behaves with or without a
// tray and a display.

#include <string>
#include <vector>

class TPrinterPort;
class THalden;

// "Halden", the file version and the build's word size.
std::string MainCaption();
// The version line of the about box.
std::string VersionLine();

// The texts of a port row: "COM n", the state, and the lock holder's
// computer, process identifier and application while it is locked.
std::vector<std::string> PortRowTexts(const TPrinterPort& Port);
// The texts of a client row; Position counts from 1.
std::vector<std::string> ClientRowTexts(int Position, const THalden& Client);

// How the window behaves on this desktop.
struct TWindowBehaviour {
  bool Tray = false;            // a tray icon with its menu
  bool ShowAtStart = false;     // without a tray the window is the way in
  bool HideOnMinimise = false;  // minimised into the tray
  bool HideOnOkCancel = false;  // OK and "Отмена" put it back into the tray
  bool Headless = false;        // no display: no window, messages on standard error
};

TWindowBehaviour BehaviourFor(bool HasDisplay, bool TrayAvailable);

// Whether the session has a display to show windows on (DISPLAY or
// WAYLAND_DISPLAY set and not empty).
bool HasDisplay();
