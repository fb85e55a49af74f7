#pragma once
// TfmMain: the main window of TesselBench. The page list on the left, the
// current page on the right, the result panel at the bottom.

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "tesselbench/shell/Page.h"

class QActionGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QAction;

// One line of the page list: its caption (message id) and its pages. A line
// with several pages in the full table is a tabbed page (ObjectName fixed),
// even while only some of them are built.
struct TPageLine {
  const char* Caption;
  QString ObjectName;  // the tabbed page's; empty for a line of one plain page
  std::vector<std::function<TPage*()>> Pages;
};
using TPageTable = std::vector<TPageLine>;

class TfmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfmMain(const TPageTable& Table, QWidget* Parent = nullptr);
  ~TfmMain() override;

  // "  01. Состояние" ...
  QStringList ListLines() const;
  int LineCount() const;
  TPage* LinePage(int Line) const;
  int CurrentLine() const;
  TPage* CurrentPage() const { return FCurrentPage; }
  // Selects a line as a click does (refused while a handler runs).
  void SelectLine(int Line);

  void ShowPage(TPage* Page);
  void SetPage(TPage* Page);
  void UpdateCaption();
  QString AppTitle() const { return FAppTitle; }

  void SaveSettings();
  void LoadSettings();
  // The last start-up step (queued by the constructor): the saved password
  // into the driver, the driver's password into the field.
  void ConnectPassword();

  QListWidget* PageList() const { return FPageList; }
  QLineEdit* ResultField() const { return FResult; }
  QLineEdit* InputField() const { return FInput; }
  QLineEdit* OutputField() const { return FOutput; }
  QLineEdit* TimeField() const { return FTime; }
  QLineEdit* OperatorField() const { return FOperator; }
  QLineEdit* PasswordField() const { return FPassword; }
  QAction* EnglishAction() const { return FEnglish; }
  QAction* RussianAction() const { return FRussian; }

  // The password field's paste rule: null when the text may be pasted, else
  // the message refusing it.
  static QString PasteRefusal(const QString& Text);

 protected:
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildWindow();
  void RegisterPages(const TPageTable& Table);
  void ResultChanged(bool Enabled);
  void PasswordEdited(const QString& Text);
  void ShowPassword();
  void ShowProperties(bool UpdateCurrent);
  void ChooseLanguage(const QString& Lang);
  void ShowAbout();
  void RunGuarded(const std::function<void()>& Body);

  TPages FPages;
  std::vector<TPage*> FLinePages;
  TPage* FCurrentPage = nullptr;
  QString FAppTitle;
  QElapsedTimer FTimer;

  QListWidget* FPageList = nullptr;
  QWidget* FSite = nullptr;
  QSplitter* FSplitter = nullptr;
  QLineEdit* FResult = nullptr;
  QLineEdit* FInput = nullptr;
  QLineEdit* FOutput = nullptr;
  QLineEdit* FTime = nullptr;
  QLineEdit* FOperator = nullptr;
  QLineEdit* FPassword = nullptr;
  QAction* FRussian = nullptr;
  QAction* FEnglish = nullptr;
  int FShownLine = -1;
};

// The caption for a connection: the default caption with the connection.
// BaudCode is the driver's BaudRate code.
QString CaptionForConnection(const QString& Default, int ConnectionType, int ComNumber,
                             int BaudCode, const QString& ComputerName, const QString& IPAddress,
                             int TCPPort);
// "Тест драйвера KKT 1.0.0.1 (64-bit)", translated, with the build's bitness.
QString DefaultCaption();
