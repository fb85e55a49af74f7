#include "kestrel/framework/fmuSelectWorkType.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/DriverHelpers.h"
#include "kestrel/framework/KestrelError.h"
#include "kestrel/framework/PageGraph.h"

TfmSelectWorkType::TfmSelectWorkType(QWidget* Parent) : TParamPage(Parent) {
  lblDevice = new QLabel(this);
  lblDevice->setObjectName(QStringLiteral("lblDevice"));
  lblDevice->setWordWrap(true);
  lbWorkType = new QListWidget(this);
  lbWorkType->setObjectName(QStringLiteral("lbWorkType"));
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(lblDevice);
  Layout->addWidget(lbWorkType, 1);
  connect(lbWorkType, &QListWidget::itemDoubleClicked, this, [] { Controller().Next(); });
}

void TfmSelectWorkType::Activate() {
  TController& C = Controller();
  PrevPage = C.FindPageByClass(QStringLiteral("TfmConnectDevice"));
  C.ClearRegParams();
  lbWorkType->clear();
  lbWorkType->addItems(WorkTypeItems(false));
  lbWorkType->setCurrentRow(0);
  lbWorkType->setFocus();
  lblDevice->setText(C.KKTName + Text(_(", зав. номер ")) + C.KKTSN);
  C.RegParams.OFDEnabled = false;
  IDriver* D = C.Driver.get();
  if (D) {
    try {
      D->SetModelParamNumber(73);
      CheckResult(*D, D->ReadModelParamValue());
      if (D->ModelParamValue().toInt() > 0) {
        lbWorkType->addItem(WorkTypeItems(true).last());
        C.RegParams.OFDEnabled = true;
      }
    } catch (...) {
      D->Disconnect();
      throw;
    }
  }
  if (D) D->Disconnect();
}

void TfmSelectWorkType::Next() {
  ApplyWorkType(Controller(), lbWorkType->currentRow());
}
