#pragma once
// The work-type page: the job, and with it the page graph.

#include "kestrel/framework/ParamPage.h"

class QLabel;
class QListWidget;

class TfmSelectWorkType : public TParamPage {
  Q_OBJECT

 public:
  explicit TfmSelectWorkType(QWidget* Parent = nullptr);
  void Activate() override;
  void Next() override;

  QListWidget* lbWorkType = nullptr;
  QLabel* lblDevice = nullptr;
};
