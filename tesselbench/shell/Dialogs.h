#pragma once
// Every message box, question, text prompt and file dialog of TesselBench goes
// through this interface, so that tests answer them and nothing modal blocks
// an offscreen run. The program uses the Qt dialogs; a test installs its own.

#include <QString>

class QWidget;

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual void ShowError(QWidget* Parent, const QString& Text) = 0;
  virtual void ShowMessage(QWidget* Parent, const QString& Title, const QString& Text) = 0;
  virtual bool Ask(QWidget* Parent, const QString& Title, const QString& Text) = 0;
  // False when the user cancels; Value holds the initial and the entered text.
  virtual bool InputText(QWidget* Parent, const QString& Prompt, QString& Value) = 0;
  // An empty name when the user cancels. Filter as "Текстовый файл (*.txt)".
  virtual QString OpenFileName(QWidget* Parent, const QString& Filter) = 0;
  virtual QString SaveFileName(QWidget* Parent, const QString& Filter) = 0;
  // Shows a form modally (the payment amount dialogs).
  virtual void ShowModal(QWidget* Form) = 0;
};

// The installed dialogs (the Qt ones unless a test installed others).
IDialogs& Dialogs();
// Installs others; null restores the Qt ones. The caller keeps ownership.
void SetDialogs(IDialogs* Dialogs);
