#pragma once
// The first page: the driver is installed and recent enough.

#include "driver/DriverFactory.h"
#include "kestrel/framework/ParamPage.h"

class QLabel;

inline constexpr TDriverVersion kMinDriverVersion{4, 13, 0, 594};

class TfmConnectDevice : public TParamPage {
  Q_OBJECT

 public:
  explicit TfmConnectDevice(QWidget* Parent = nullptr);
  void Activate() override;
  void Next() override;

  QLabel* lblInfo = nullptr;
};
