#pragma once
// TfmConnection ("Связь"): connect, disconnect, the device's own exchange
// parameters, waiting for the device.

#include "tesselbench/shell/PageEngine.h"

class TfmConnection : public TEnginePage {
  Q_OBJECT
 public:
  explicit TfmConnection(QWidget* Parent = nullptr);

 private:
  void UpdateTcpFields();
};
