#pragma once
// A KKT on the standard link protocol behind a pseudo-terminal: it answers
// the host's ENQ with NAK (ready), acknowledges every well-formed frame and
// sends the answer block that the test's function gives for the command
// block. A function that gives nothing leaves that frame unacknowledged, as
// from a device that never heard it: the host gives the command up.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/PtyDevice.h"

class TPtyKkt {
 public:
  using TAnswer = std::function<std::optional<std::string>(const std::string& Command)>;

  // Serves on the device, under its COM number, from now on.
  explicit TPtyKkt(int ComNumber, TAnswer Answer);
  ~TPtyKkt();

  int ComNumber() const { return FDevice.ComNumber(); }
  TPtyDevice& Device() { return FDevice; }
  void SetAnswer(TAnswer Answer);
  // Unplugs the device (opening it gives -2) and plugs it in again, serving
  // as before.
  void Unplug();
  void Plug();
  // The command blocks received in well-formed frames, in order.
  std::vector<std::string> Commands();

 private:
  std::string Handle(std::string_view Chunk);

  TPtyDevice FDevice;
  std::mutex FLock;
  TAnswer FAnswer;
  std::vector<std::string> FCommands;
  std::string FInput;  // device thread only
};
