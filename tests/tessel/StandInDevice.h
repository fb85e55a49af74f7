#pragma once
// A small device for the driver's tests: it answers a handful of commands
// through the command table's codec and keeps just enough state (mode, one
// table field, a receipt total) to show that blocks travel both ways. The
// virtual KKT's own behaviour is tested with it in tests/vkkt.

#include <QString>
#include <string>

#include "tessel/KktDevice.h"

class TStandInDevice : public tessel::IKktDevice {
 public:
  std::string Execute(const std::string& Command) override;

  int Mode = 4;                    // 4 shift closed, 2 open, 8 receipt open
  std::uint64_t ReceiptTotal = 0;  // kopecks
  QString TableText = QStringLiteral("ООО Ромашка");
  int Commands = 0;  // blocks executed
  // The next answer replaces the device's own when not empty.
  std::string ScriptedAnswer;
};
