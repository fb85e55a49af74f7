#include "kestrel/framework/fmuCheckLAN.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/KestrelError.h"

QString LabelText(QString Value) {
  return Value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

TfmCheckLAN::TfmCheckLAN(QWidget* Parent)
    : TParamPage(Parent), FTask(std::make_unique<TCheckLANWorkTask>()) {
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setWordWrap(true);
  btnRepeat = new QPushButton(Text(_("Повторить")), this);
  btnRepeat->setObjectName(QStringLiteral("btnRepeat"));
  btnStop = new QPushButton(Text(_("Остановить")), this);
  btnStop->setObjectName(QStringLiteral("btnStop"));
  btnStop->setEnabled(false);
  Timer = new QTimer(this);
  Timer->setInterval(200);
  auto* Buttons = new QHBoxLayout;
  Buttons->addWidget(btnRepeat);
  Buttons->addWidget(btnStop);
  Buttons->addStretch(1);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(lblStatus);
  Layout->addLayout(Buttons);
  Layout->addStretch(1);
  connect(btnRepeat, &QPushButton::clicked, this, [this] { Start(); });
  connect(btnStop, &QPushButton::clicked, this, [this] { StopTask(); });
  connect(Timer, &QTimer::timeout, this, [this] { TimerTick(); });
  FTask->SetOnCompleted([this](TWorkThread&) { TaskCompleted(); });
}

TfmCheckLAN::~TfmCheckLAN() {
  FTask->Stop();
}

void TfmCheckLAN::Activate() {
  lblStatus->setText(Text(_("Проверка соединения...")));
  Start();
}

void TfmCheckLAN::Start() {
  TController& C = Controller();
  // The task uses the shared driver: nothing else may, the driver's own
  // settings dialog included.
  C.EnablePrev(false);
  C.EnableNext(false);
  C.EnableHome(false);
  C.EnableSettings(false);
  lblStatus->setText(Text(_("Подключение...")));
  btnRepeat->setEnabled(false);
  btnStop->setEnabled(true);
  Timer->start();
  FTask->Execute();
}

void TfmCheckLAN::StopTask() {
  FTask->Stop();
}

void TfmCheckLAN::CloseEvent() {
  FTask->Stop();
}

void TfmCheckLAN::TimerTick() {
  btnRepeat->setEnabled(!FTask->GetStarted());
  lblStatus->setText(LabelText(FTask->GetState().GetText()));
}

void TfmCheckLAN::TaskCompleted() {
  btnRepeat->setEnabled(true);
  btnStop->setEnabled(false);
  Timer->stop();
  lblStatus->setText(LabelText(FTask->GetState().GetText()));
  TController& C = Controller();
  C.EnablePrev(true);
  C.EnableNext(true);
  C.EnableHome(true);
  C.EnableSettings(true);
}

void TfmCheckLAN::Next() {
  Controller().NextPageClass = QStringLiteral("TfmOFDExchangeState");
}
