#include "kestrel/framework/fmuConnectDevice.h"

#include <QLabel>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/KestrelError.h"
#include "kestrel/framework/fmuCheckLAN.h"

TfmConnectDevice::TfmConnectDevice(QWidget* Parent) : TParamPage(Parent) {
  auto* Intro = new QLabel(
      Text(_("Подключите ККТ к компьютеру и включите её питание.\nНажмите \"Далее\", чтобы "
             "выбрать тип подключения.")),
      this);
  Intro->setWordWrap(true);
  lblInfo = new QLabel(this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setWordWrap(true);
  lblInfo->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
  lblInfo->hide();
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(Intro);
  Layout->addWidget(lblInfo);
  Layout->addStretch(1);
}

void TfmConnectDevice::Activate() {
  TController& C = Controller();
  lblInfo->hide();
  const QString MinVersion = kMinDriverVersion.ToText();
  if (!C.Driver) {
    C.Driver = CreateDriver();
    if (C.Driver) C.Driver->SetOFDExchangeSuspended(true);
  }
  if (!C.Driver) {
    lblInfo->setText(
        LabelText(Text(_("Внимание! Не установлен драйвер ФР\nДля корректной работы "
                         "установите драйвер версии не ниже %1 и перезапустите приложение"))
                      .arg(MinVersion)));
    C.EnableNext(false);
    C.EnableSettings(false);
    lblInfo->show();
    return;
  }
  if (DriverVersionOf(*C.Driver) < kMinDriverVersion) {
    lblInfo->setText(
        LabelText(Text(_("Внимание! Установленная версия драйвера ФР меньше "
                         "минимальной\nДля корректной работы необходима версия не ниже %1"))
                      .arg(MinVersion)));
    lblInfo->show();
    C.EnableNext(false);
    return;
  }
  C.EnableNext(true);
}

void TfmConnectDevice::Next() {
  Controller().NextPageClass = QStringLiteral("TfmSelectPortType");
}
