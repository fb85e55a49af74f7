#pragma once
// Every message box of Kestrel goes through this interface, so that tests
// answer them and nothing modal blocks an offscreen run.

#include <QString>

class QWidget;

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual void ShowError(QWidget* Parent, const QString& Message) = 0;
  virtual void ShowMessage(QWidget* Parent, const QString& Message) = 0;
  // True for "OK"/"Yes".
  virtual bool Confirm(QWidget* Parent, const QString& Message) = 0;
};

// The dialogs in use: the message boxes of Qt unless a test set its own.
IDialogs& Dialogs();
// Replaces the dialogs (not owned); null restores the message boxes.
void SetDialogs(IDialogs* Replacement);
