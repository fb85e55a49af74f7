#pragma once
// The link-check pages: the KKT answers over Ethernet or RNDIS. The check runs
// as a background task; a timer shows its progress.

#include <QTimer>

#include "kestrel/framework/ParamPage.h"
#include "kestrel/framework/WorkThread.h"

class QLabel;
class QPushButton;

class TfmCheckLAN : public TParamPage {
  Q_OBJECT

 public:
  explicit TfmCheckLAN(QWidget* Parent = nullptr);
  ~TfmCheckLAN() override;

  void Activate() override;
  void Next() override;
  void CloseEvent() override;
  void Start();
  void StopTask();

  TCheckLANWorkTask& Task() { return *FTask; }

  QLabel* lblStatus = nullptr;
  QPushButton* btnRepeat = nullptr;
  QPushButton* btnStop = nullptr;
  QTimer* Timer = nullptr;

 private:
  void TimerTick();
  void TaskCompleted();

  std::unique_ptr<TCheckLANWorkTask> FTask;
};

class TfmCheckEthernet : public TfmCheckLAN {
  Q_OBJECT
 public:
  using TfmCheckLAN::TfmCheckLAN;
};

class TfmCheckRNDIS : public TfmCheckLAN {
  Q_OBJECT
 public:
  using TfmCheckLAN::TfmCheckLAN;
};

// A text for a label: line breaks "\r\n" (as driver texts carry them) as new lines.
QString LabelText(QString Value);
