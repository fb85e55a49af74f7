#include "tesselbench/shell/Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "common/text/Intl.h"

namespace {

class TQtDialogs : public IDialogs {
 public:
  void ShowError(QWidget* Parent, const QString& Text) override {
    QMessageBox::critical(Parent, QString::fromUtf8(_("Ошибка")), Text);
  }
  void ShowMessage(QWidget* Parent, const QString& Title, const QString& Text) override {
    QMessageBox::information(Parent, Title, Text);
  }
  bool Ask(QWidget* Parent, const QString& Title, const QString& Text) override {
    return QMessageBox::question(Parent, Title, Text) == QMessageBox::Yes;
  }
  bool InputText(QWidget* Parent, const QString& Prompt, QString& Value) override {
    bool Ok = false;
    const QString Text =
        QInputDialog::getText(Parent, Prompt, Prompt, QLineEdit::Normal, Value, &Ok);
    if (Ok) Value = Text;
    return Ok;
  }
  QString OpenFileName(QWidget* Parent, const QString& Filter) override {
    return QFileDialog::getOpenFileName(Parent, QString(), QString(), Filter);
  }
  QString SaveFileName(QWidget* Parent, const QString& Filter) override {
    return QFileDialog::getSaveFileName(Parent, QString(), QString(), Filter);
  }
  void ShowModal(QWidget* Form) override {
    if (auto* Dialog = qobject_cast<QDialog*>(Form)) Dialog->exec();
  }
};

IDialogs* Installed = nullptr;

}  // namespace

IDialogs& Dialogs() {
  static TQtDialogs QtDialogs;
  return Installed ? *Installed : QtDialogs;
}

void SetDialogs(IDialogs* Dialogs) { Installed = Dialogs; }
