#include "kestrel/framework/fmuMain.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "kestrel/framework/Dialogs.h"
#include "kestrel/framework/KestrelError.h"
#include "kestrel/framework/PageGraph.h"

TfmMain::TfmMain(const QString& ProgramDir, QWidget* Parent)
    : QWidget(Parent), FPages(std::make_unique<TParamPages>()) {
  TController& C = Controller();
  C.X5Mode = X5FilePresent(ProgramDir);
  C.Window = this;
  setWindowTitle(MainWindowTitle(C.X5Mode));

  pnlTop = new QLabel(this);
  pnlTop->setObjectName(QStringLiteral("pnlTop"));
  QFont HeaderFont = pnlTop->font();
  HeaderFont.setPointSizeF(HeaderFont.pointSizeF() * 1.4);
  HeaderFont.setBold(true);
  pnlTop->setFont(HeaderFont);
  pnlTop->setContentsMargins(12, 10, 12, 10);
  pnlTop->setAutoFillBackground(true);
  pnlTop->setBackgroundRole(QPalette::Base);

  pnlSite = new QWidget(this);
  pnlSite->setObjectName(QStringLiteral("pnlSite"));
  FSiteLayout = new QStackedLayout(pnlSite);

  btnNext = new QPushButton(Text(_("Далее >")), this);
  btnNext->setObjectName(QStringLiteral("btnNext"));
  btnNext->setDefault(true);
  btnPrev = new QPushButton(Text(_("< Назад")), this);
  btnPrev->setObjectName(QStringLiteral("btnPrev"));
  btnHome = new QPushButton(style()->standardIcon(QStyle::SP_DirHomeIcon), QString(), this);
  btnHome->setObjectName(QStringLiteral("btnHome"));
  btnHome->setToolTip(Text(_("Вернуться в начало")));
  btnMenu =
      new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QString(), this);
  btnMenu->setObjectName(QStringLiteral("btnMenu"));
  btnMenu->setToolTip(Text(_("Настройки драйвера")));

  auto* Buttons = new QHBoxLayout;
  Buttons->addWidget(btnHome);
  Buttons->addWidget(btnMenu);
  Buttons->addStretch(1);
  Buttons->addWidget(btnPrev);
  Buttons->addWidget(btnNext);

  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 8);
  Layout->addWidget(pnlTop);
  auto* SiteBox = new QVBoxLayout;
  SiteBox->setContentsMargins(12, 8, 12, 8);
  SiteBox->addWidget(pnlSite, 1);
  Layout->addLayout(SiteBox, 1);
  Buttons->setContentsMargins(8, 0, 8, 0);
  Layout->addLayout(Buttons);

  connect(btnNext, &QPushButton::clicked, this, [this] { Next(); });
  connect(btnPrev, &QPushButton::clicked, this, [this] { Prev(); });
  connect(btnHome, &QPushButton::clicked, this, [this] { Home(); });
  connect(btnMenu, &QPushButton::clicked, this, [this] { Settings(); });
  resize(640, 480);
}

TfmMain::~TfmMain() {
  if (!FClosed) FPages->CloseEvent();
  TController& C = Controller();
  C.CurrentPage = nullptr;
  // The pages (and the tasks they own) go first: they may still use the driver.
  FPages.reset();
  C.Driver.reset();
  if (C.Window == this) C.Window = nullptr;
}

void TfmMain::RegisterPages() {
  for (const TPageInfo& Info : PageOrder())
    if (TPageFactory Factory = PageFactoryOf(QString::fromLatin1(Info.ClassName)))
      AddPage(Factory());
}

void TfmMain::AddPage(TParamPage* Page) {
  Page->SetOwner(FPages.get());
  Page->setParent(pnlSite);
  FSiteLayout->addWidget(Page);
  Page->hide();
  if (Controller().CurrentPage == nullptr) Controller().CurrentPage = FPages->GetItem(0);
}

void TfmMain::Start() {
  Controller().NextPageClass = QStringLiteral("TfmSelectWorkType");
  Controller().CurrentPage = FPages->GetItem(0);
  ShowPage(0);
}

void TfmMain::ShowPage(int Index) {
  EnableNext(true);
  EnablePrev(true);
  EnableHome(true);
  EnableSettings(true);
  TParamPage* Page = FPages->GetItem(Index);
  if (!Page) return;
  // Back is decided before the page's own on-show code runs, which may
  // disable it (and other buttons) again while it works.
  EnablePrev(Index != 0);
  if (Index == FIndex) return;
  TParamPage* Old = FPages->GetItem(FIndex);
  FSiteLayout->setCurrentWidget(Page);
  Page->show();
  pnlTop->setText(Page->Caption());
  if (Old && Old != Page) Old->hide();
  FIndex = Index;
  // An error of the on-show code is shown; the switch itself is complete.
  RunHook([Page] { Page->Activate(); });
}

bool TfmMain::RunHook(const std::function<void()>& Hook) {
  try {
    Hook();
    return true;
  } catch (const EKestrelAbort&) {
  } catch (const EKestrelError& E) {
    Dialogs().ShowError(this, E.Message());
  } catch (const std::exception& E) {
    Dialogs().ShowError(this, QString::fromUtf8(E.what()));
  }
  return false;
}

void TfmMain::Next() {
  TController& C = Controller();
  TParamPage* Cur = C.CurrentPage;
  if (!Cur || !RunHook([Cur] { Cur->Next(); })) return;
  const int Index = std::max(0, FPages->IndexByClass(C.NextPageClass));
  TParamPage* Target = FPages->GetItem(Index);
  C.CurrentPage = Target;
  // A hook that keeps the wizard on its page must not make the page its own
  // way back.
  if (Target != Cur) Target->PrevPage = Cur;
  ShowPage(Index);
}

void TfmMain::Prev() {
  TController& C = Controller();
  TParamPage* Cur = C.CurrentPage;
  if (!Cur || !RunHook([Cur] { Cur->Prev(); })) return;
  const int Index = std::max(0, FPages->IndexOf(Cur->PrevPage));
  C.CurrentPage = FPages->GetItem(Index);
  ShowPage(Index);
}

void TfmMain::Home() {
  TController& C = Controller();
  if (TParamPage* Cur = C.CurrentPage) RunHook([Cur] { Cur->Home(); });
  C.NextPageClass = QStringLiteral("TfmSelectWorkType");
  C.CurrentPage = FPages->GetItem(0);
  ShowPage(0);
}

void TfmMain::Settings() {
  IDriver* D = Controller().Driver.get();
  if (!D) return;
  D->Disconnect();
  D->ShowProperties();
}

bool TfmMain::NextEnabled() const {
  return btnNext->isEnabled();
}
bool TfmMain::PrevEnabled() const {
  return btnPrev->isEnabled();
}
void TfmMain::EnableNext(bool Value) {
  btnNext->setEnabled(Value);
}
void TfmMain::EnablePrev(bool Value) {
  btnPrev->setEnabled(Value);
}
void TfmMain::EnableHome(bool Value) {
  btnHome->setEnabled(Value);
}
void TfmMain::EnableSettings(bool Value) {
  btnMenu->setEnabled(Value);
}

TParamPage* TfmMain::FindPageByClass(const QString& ClassName) const {
  return FPages->PageByClass(ClassName);
}

void TfmMain::closeEvent(QCloseEvent* Event) {
  // Every page stops its work (searches, link checks) and waits for it.
  FPages->CloseEvent();
  FClosed = true;
  Event->accept();
}
