#include "kestrel/framework/Controller.h"

#include <QDir>
#include <QFileInfo>

#include "Version.h"

namespace {
std::unique_ptr<TController> Instance;
}

TController& Controller() {
  if (!Instance) Instance = std::make_unique<TController>();
  return *Instance;
}

void ResetController() {
  Instance = std::make_unique<TController>();
}

void TController::Next() {
  if (Window && Window->NextEnabled()) Window->Next();
}

void TController::Prev() {
  if (Window && Window->PrevEnabled()) Window->Prev();
}

void TController::Home() {
  if (Window) Window->Home();
}

void TController::EnableNext(bool Value) {
  if (Window) Window->EnableNext(Value);
}

void TController::EnablePrev(bool Value) {
  if (Window) Window->EnablePrev(Value);
}

void TController::EnableHome(bool Value) {
  if (Window) Window->EnableHome(Value);
}

void TController::EnableSettings(bool Value) {
  if (Window) Window->EnableSettings(Value);
}

TParamPage* TController::FindPageByClass(const QString& ClassName) const {
  return Window ? Window->FindPageByClass(ClassName) : nullptr;
}

void TController::ClearRegParams() {
  TRegParams& R = RegParams;
  for (QString* S :
       {&R.INN, &R.RNM, &R.User, &R.Cashier, &R.Address, &R.AutomatNumber, &R.TaxOfficeURL,
        &R.SenderEmail, &R.PayPlace, &R.OFDName, &R.OFDUrl, &R.OFDINN, &R.OFDServer, &R.CashierINN})
    S->clear();
  R.TaxSystem = R.Agent = R.WorkMode = R.WorkModeEx = kUnset;
  R.ReasonCode = kUnset;
  R.FFD = kUnset;
  R.OFDPort = 0;
}

QString MainWindowTitle(bool X5Mode) {
  QString Title = QStringLiteral("Kestrel %1 (%2-bit)")
                      .arg(QStringLiteral(VARKON_FILE_VERSION))
                      .arg(sizeof(void*) * 8);
  if (X5Mode) Title += QStringLiteral(" [X5]");
  return Title;
}

bool X5FilePresent(const QString& ProgramDir) {
  return QFileInfo::exists(QDir(ProgramDir).filePath(QStringLiteral("X5.ini")));
}
