#pragma once
// Kestrel's main window: the page header, the page site and the navigation
// buttons. It owns the page list and, through the controller, the shared
// driver; pages are freed before the driver.

#include <QWidget>
#include <memory>

#include "kestrel/framework/Controller.h"
#include "kestrel/framework/ParamPage.h"

class QLabel;
class QPushButton;
class QStackedLayout;

class TfmMain : public QWidget, public IWizardWindow {
  Q_OBJECT

 public:
  // ProgramDir is the folder of the program file (X5 mode comes from it).
  explicit TfmMain(const QString& ProgramDir, QWidget* Parent = nullptr);
  ~TfmMain() override;

  // Creates one page of every registered class, in the fixed page order.
  void RegisterPages();
  void AddPage(TParamPage* Page);
  void ShowPage(int Index);
  // The start of the wizard: the first page, with the work type as target.
  void Start();

  bool NextEnabled() const override;
  bool PrevEnabled() const override;
  void EnableNext(bool Value) override;
  void EnablePrev(bool Value) override;
  void EnableHome(bool Value) override;
  void EnableSettings(bool Value) override;
  void Next() override;
  void Prev() override;
  void Home() override;
  TParamPage* FindPageByClass(const QString& ClassName) const override;

  TParamPages& Pages() { return *FPages; }
  int PageIndex() const { return FIndex; }
  // Settings: the driver's own settings dialog.
  void Settings();

  QLabel* pnlTop = nullptr;
  QWidget* pnlSite = nullptr;
  QPushButton* btnNext = nullptr;
  QPushButton* btnPrev = nullptr;
  QPushButton* btnHome = nullptr;
  QPushButton* btnMenu = nullptr;

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  // Runs a page hook; an error is shown. False when the hook refused.
  bool RunHook(const std::function<void()>& Hook);

  std::unique_ptr<TParamPages> FPages;
  QStackedLayout* FSiteLayout = nullptr;
  int FIndex = -1;
  bool FClosed = false;
};
