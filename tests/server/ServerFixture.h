#pragma once
// A port registry whose new ports run on fake lines, with lock settings of
// the test's choice; and the answer blocks of a scripted device.

#include <gtest/gtest.h>

#include <string>

#include "FakeLine.h"
#include "halden/server/PrinterPorts.h"

class FakeServerTest : public ::testing::Test {
 protected:
  FakeServerTest() { FPorts->SetPortCreator(FLines.Creator()); }

  // Applies the settings to the registry and to every port's timer.
  void Settings(bool AutoPortClose, bool AutoRecCancel, int CloseTimeout) {
    FPorts->ApplySettings({AutoPortClose, AutoRecCancel, CloseTimeout});
  }

  TFakeLines FLines;  // outlives every port of the test
  TPrinterPortsLink FPorts;
};

// The answer to the status request 0x11: code, error 0, 50 bytes of status
// with the mode at offset 15.
inline std::string StatusAnswer(unsigned char Mode) {
  std::string status(50, '\0');
  status[15] = static_cast<char>(Mode);
  return std::string("\x11\x00", 2) + status;
}

// Bytes from a text of hexadecimal pairs, blanks allowed.
std::string HexBytes(const std::string& Hex);
