#pragma once
// Where the programs keep their settings, and the serial port map.

#include <string>

// $XDG_CONFIG_HOME/Varkon, or ~/.config/Varkon.
std::string SettingsDir();

// The port map file: $VARKON_PORTS, or SettingsDir()/ports.ini.
std::string PortMapFileName();

// The device file of COMn: key n of section [Ports] of the port map, read
// anew at every call, or /dev/ttyS<n-1> without an entry.
std::string DevicePathOf(int ComNumber);
