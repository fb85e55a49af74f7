#pragma once
// TfmLogicDevice ("ЛУ"): the driver's list of logical devices.

#include "tesselbench/shell/PageEngine.h"

class TfmLogicDevice : public TEnginePage {
  Q_OBJECT
 public:
  explicit TfmLogicDevice(QWidget* Parent = nullptr);
};
