#include "tesselbench/shell/Page.h"

#include <QApplication>
#include <QMetaObject>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "driver/IDriver.h"
#include "tesselbench/shell/Dialogs.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/TextValues.h"

namespace {

constexpr const char* kMarkProperty = "tbDisabledByForm";

}  // namespace

// ---- TBaseForm --------------------------------------------------------------

TBaseForm::TBaseForm(QWidget* Parent) : QDialog(Parent) {}

void TBaseForm::EnableButtons(bool Value) {
  const auto Buttons = findChildren<QPushButton*>();
  if (!Value) {
    FFocused = nullptr;
    for (QPushButton* B : Buttons) {
      if (!B->isEnabled()) continue;
      if (B->hasFocus()) FFocused = B;
      B->setProperty(kMarkProperty, true);
      B->setEnabled(false);
    }
    return;
  }
  for (QPushButton* B : Buttons) {
    if (!B->property(kMarkProperty).toBool()) continue;
    B->setProperty(kMarkProperty, QVariant());
    B->setEnabled(true);
  }
  if (FFocused && FFocused->isEnabled() && FFocused->focusPolicy() != Qt::NoFocus) {
    FFocused->setFocus();
  }
}

// ---- TPageNotifier, TBusyGuard ----------------------------------------------

TPageNotifier& TPageNotifier::Instance() {
  static TPageNotifier Notifier;
  return Notifier;
}

TBusyGuard& TBusyGuard::Instance() {
  static TBusyGuard Guard;
  return Guard;
}

bool TBusyGuard::MayRun(const QObject* Sender) const {
  if (FDepth == 0) return true;
  return Sender && std::find(FStopControls.begin(), FStopControls.end(), Sender) !=
                       FStopControls.end();
}

TBusyGuard::TScope::TScope() { ++Instance().FDepth; }

TBusyGuard::TScope::~TScope() { Instance().Leave(); }

void TBusyGuard::Leave() {
  if (--FDepth > 0) return;
  FStopControls.clear();
  FStop = nullptr;
  auto Pending = std::move(FWhenIdle);
  FWhenIdle.clear();
  for (auto& Action : Pending) {
    // Queued: the handler that just ended is still on the stack.
    QMetaObject::invokeMethod(qApp, std::move(Action), Qt::QueuedConnection);
  }
}

void TBusyGuard::SetStop(std::vector<const QObject*> Controls, std::function<void()> Stop) {
  FStopControls = std::move(Controls);
  FStop = std::move(Stop);
}

bool TBusyGuard::RequestStop() {
  if (FDepth == 0) return false;
  if (FStop) FStop();
  return true;
}

void TBusyGuard::WhenIdle(std::function<void()> Action) {
  if (FDepth == 0) {
    Action();
    return;
  }
  FWhenIdle.push_back(std::move(Action));
}

// ---- TPage ------------------------------------------------------------------

TPage::TPage(QWidget* Parent) : QWidget(Parent) {}

TPage::~TPage() {
  if (FOwner) FOwner->RemoveItem(this);
}

void TPage::EnableButtons(bool Value) {
  TPageNotifier::Instance().DoChange(this, Value);
  const auto Buttons = findChildren<QPushButton*>();
  if (!Value) {
    FFocused = nullptr;
    for (QPushButton* B : Buttons) {
      if (B->hasFocus()) FFocused = B;
      B->setEnabled(false);
    }
    return;
  }
  for (QPushButton* B : Buttons) B->setEnabled(true);
  RestoreRunState();
  if (FFocused && FFocused->isEnabled() && FFocused->focusPolicy() != Qt::NoFocus) {
    FFocused->setFocus();
  }
}

void TPage::Check(int ResultCode) { ::Check(ResultCode); }

int TPage::GetIndex() const { return FOwner ? FOwner->GetItemIndex(this) : -1; }

void TPage::SetOwner(TPages* Owner) {
  if (FOwner) FOwner->RemoveItem(this);
  if (Owner) Owner->InsertItem(this);
}

void TPage::RunButton(const QObject* Sender, const std::function<void()>& Body) {
  auto& Guard = TBusyGuard::Instance();
  if (!Guard.MayRun(Sender)) return;
  TBusyGuard::TScope Scope;
  EnableButtons(false);
  std::exception_ptr Error;
  try {
    Body();
  } catch (...) {
    Error = std::current_exception();
  }
  EnableButtons(true);
  if (Error) ShowHandlerError(this, Error);
}

void TPage::RunHandler(const QObject* Sender, const std::function<void()>& Body) {
  auto& Guard = TBusyGuard::Instance();
  if (!Guard.MayRun(Sender)) return;
  TBusyGuard::TScope Scope;
  try {
    Body();
  } catch (...) {
    ShowHandlerError(this, std::current_exception());
  }
}

void ShowHandlerError(QWidget* Parent, const std::exception_ptr& Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const EAbort&) {
  } catch (const EUserError& E) {
    Dialogs().ShowError(Parent, E.Message());
  } catch (const EDriverAccessError& E) {
    Dialogs().ShowError(Parent, E.Message());
  } catch (const std::exception& E) {
    Dialogs().ShowError(Parent, QString::fromUtf8(E.what()));
  }
}

// ---- TPages -----------------------------------------------------------------

TPages::~TPages() { Clear(); }

int TPages::GetItemIndex(const TPage* Page) const {
  const auto It = std::find(FItems.begin(), FItems.end(), Page);
  return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

void TPages::InsertItem(TPage* Page) {
  if (Page->FOwner == this) return;
  if (Page->FOwner) Page->FOwner->RemoveItem(Page);
  FItems.push_back(Page);
  Page->FOwner = this;
}

void TPages::RemoveItem(TPage* Page) {
  const auto It = std::find(FItems.begin(), FItems.end(), Page);
  if (It != FItems.end()) FItems.erase(It);
  if (Page->FOwner == this) Page->FOwner = nullptr;
}

void TPages::Clear() {
  while (!FItems.empty()) delete FItems.front();  // the page removes itself
}

// ---- TfmTabbedPage ----------------------------------------------------------

TfmTabbedPage::TfmTabbedPage(QWidget* Parent) : TPage(Parent), FTabs(new QTabWidget(this)) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->addWidget(FTabs);
  FTabs->setObjectName(QStringLiteral("PageControl"));
  connect(FTabs, &QTabWidget::currentChanged, this, &TfmTabbedPage::TabChanged);
}

void TfmTabbedPage::AddPage(TPage* Page) {
  const QSignalBlocker Block(FTabs);
  FTabs->addTab(Page, Page->Caption());
  if (FCurrent < 0) FCurrent = FTabs->currentIndex();
}

int TfmTabbedPage::PageCount() const { return FTabs->count(); }

TPage* TfmTabbedPage::PageAt(int Index) const { return qobject_cast<TPage*>(FTabs->widget(Index)); }

TPage* TfmTabbedPage::ActivePage() const { return PageAt(FTabs->currentIndex()); }

int TfmTabbedPage::TabIndex() const { return std::max(0, FTabs->currentIndex()); }

void TfmTabbedPage::SetTabIndex(int Index) {
  if (Index >= 0 && Index < FTabs->count()) FTabs->setCurrentIndex(Index);
}

void TfmTabbedPage::Initialize() {
  for (int I = 0; I < PageCount(); ++I) PageAt(I)->Initialize();
}

void TfmTabbedPage::UpdatePage() {
  if (TPage* Page = ActivePage()) Page->UpdatePage();
}

void TfmTabbedPage::UpdateObject() {
  if (TPage* Page = ActivePage()) Page->UpdateObject();
}

void TfmTabbedPage::TabChanged(int Index) {
  if (TPage* Old = PageAt(FCurrent); Old && FCurrent != Index) Old->UpdateObject();
  FCurrent = Index;
  if (TPage* New = PageAt(Index)) New->UpdatePage();
}
