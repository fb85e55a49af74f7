#pragma once
// TfmCashDrawer ("Денежный ящик"): opens a cash drawer.

#include "tesselbench/shell/PageEngine.h"

class TfmCashDrawer : public TEnginePage {
  Q_OBJECT
 public:
  explicit TfmCashDrawer(QWidget* Parent = nullptr);
};
