#include "kestrel/framework/Dialogs.h"

#include <QMessageBox>

#include "common/text/Intl.h"
#include "kestrel/framework/KestrelError.h"

namespace {

class TMessageBoxes : public IDialogs {
 public:
  void ShowError(QWidget* Parent, const QString& Message) override {
    QMessageBox::critical(Parent, Text(_("Ошибка")), Message);
  }
  void ShowMessage(QWidget* Parent, const QString& Message) override {
    QMessageBox::information(Parent, QStringLiteral("Kestrel"), Message);
  }
  bool Confirm(QWidget* Parent, const QString& Message) override {
    return QMessageBox::question(Parent, QStringLiteral("Kestrel"), Message,
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  }
};

TMessageBoxes MessageBoxes;
IDialogs* Current = nullptr;

}  // namespace

IDialogs& Dialogs() {
  return Current ? *Current : MessageBoxes;
}

void SetDialogs(IDialogs* Replacement) {
  Current = Replacement;
}
