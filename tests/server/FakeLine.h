#pragma once
// A served port's serial port and protocol without a line: the device is a
// function from command block to answer block, and the fake records what the
// served port did with it. Used where the state a test needs (a port that
// opens half-way, a command that outlasts the lock time-out) is awkward to
// bring about on a pseudo-terminal.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "halden/link/Link.h"
#include "halden/server/PrinterPorts.h"

struct TFakeLine {
  // The device: the answer block to a command block. Raising EDriverError
  // stands for a link failure (no answer).
  std::function<std::string(const std::string& Command)> Device;
  // Open raises this code when not 0; with OpenHalfWay the port is left open.
  int OpenError = 0;
  bool OpenHalfWay = false;

  bool Opened = false;
  int Opens = 0;        // successful opens of a closed port
  int Closes = 0;       // closes of an open port
  int LiveObjects = 0;  // serial ports and protocols alive
  int OpenBaudRate = -1, OpenTimeout = -1, ProtocolType = -1;
  std::vector<std::string> Commands;  // every block sent, in order
};

// The lines of the fake device, one per port number; a creator for the
// registry that builds fake serial ports and protocols on them.
class TFakeLines {
 public:
  TFakeLine& Line(int PortNumber);
  TPortCreator Creator();

 private:
  std::map<int, std::shared_ptr<TFakeLine>> FLines;
};

// Frame of a block as the fake protocol "writes" it: 02, length, data, 03.
std::string FakeFrame(const std::string& Data);
