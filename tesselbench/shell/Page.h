#pragma once
// The page framework: TBaseForm (dialog forms), TPage and TPages, the page
// notifier, tabbed pages, and the busy guard every handler runs through.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QAbstractButton;
class QTabWidget;
class TPages;

// A dialog form. EnableButtons(false) disables the enabled push buttons and
// marks them; EnableButtons(true) enables only the marked ones again and
// gives focus back to the button that had it.
class TBaseForm : public QDialog {
  Q_OBJECT
 public:
  explicit TBaseForm(QWidget* Parent = nullptr);
  virtual void EnableButtons(bool Value);

 private:
  QPointer<QAbstractButton> FFocused;
};

// The process-wide notifier through which pages tell the main window that a
// driver sequence starts (false) or ends (true).
class TPageNotifier {
 public:
  using TOnChange = std::function<void(QObject* Sender, bool Enabled)>;
  static TPageNotifier& Instance();
  void SetOnChange(TOnChange OnChange) { FOnChange = std::move(OnChange); }
  void DoChange(QObject* Sender, bool Enabled) {
    if (FOnChange) FOnChange(Sender, Enabled);
  }

 private:
  TOnChange FOnChange;
};

// One guard for every handler of the program. While a handler runs (and a
// long loop processes events) any other handler is refused, except the stop
// controls that the running job named; page-list clicks and closing the
// window ask the guard first.
class TBusyGuard {
 public:
  static TBusyGuard& Instance();

  bool Busy() const { return FDepth > 0; }
  // True when nothing runs, or the sender is a stop control of the running job.
  bool MayRun(const QObject* Sender) const;

  // Held while a handler runs.
  class TScope {
   public:
    TScope();
    ~TScope();
    TScope(const TScope&) = delete;
    TScope& operator=(const TScope&) = delete;
  };

  // The running job's stop controls and what stopping it means; cleared when
  // the outermost handler ends.
  void SetStop(std::vector<const QObject*> Controls, std::function<void()> Stop);
  // Asks the running job to stop; false when nothing runs.
  bool RequestStop();
  // Runs the action once nothing runs any more (queued on the event loop), or
  // at once when idle.
  void WhenIdle(std::function<void()> Action);

 private:
  void Leave();

  int FDepth = 0;
  std::vector<const QObject*> FStopControls;
  std::function<void()> FStop;
  std::vector<std::function<void()>> FWhenIdle;
};

// A test page.
class TPage : public QWidget {
  Q_OBJECT
 public:
  explicit TPage(QWidget* Parent = nullptr);
  ~TPage() override;

  QString Caption() const { return FCaption; }
  void SetCaption(const QString& Caption) { FCaption = Caption; }

  // Tells the notifier, then disables (false) or enables (true) every push
  // button; the focused one gets focus back. After enabling the page puts
  // back its own run state (RestoreRunState).
  virtual void EnableButtons(bool Value);
  virtual void Initialize() {}
  virtual void UpdatePage() {}
  virtual void UpdateObject() {}
  virtual int LoadDefaults() { return 0; }

  void Check(int ResultCode);
  int GetIndex() const;
  void SetOwner(TPages* Owner);
  TPages* Owner() const { return FOwner; }

  // Runs a button handler through the busy guard and the button protocol:
  // buttons off, the body, buttons on (whatever happened), then an error box
  // for any error but the silent abort.
  void RunButton(const QObject* Sender, const std::function<void()>& Body);
  // Runs a handler through the busy guard without the driver protocol
  // (control events, dialogs); errors go to a box.
  void RunHandler(const QObject* Sender, const std::function<void()>& Body);

 protected:
  // Puts back what the page's own state says about its buttons (a running
  // loop's start button stays off, its stop button on).
  virtual void RestoreRunState() {}

 private:
  friend class TPages;
  TPages* FOwner = nullptr;
  QString FCaption;
  QPointer<QAbstractButton> FFocused;
};

// The ordered list of pages; it owns them.
class TPages {
 public:
  TPages() = default;
  ~TPages();
  TPages(const TPages&) = delete;
  TPages& operator=(const TPages&) = delete;

  int GetCount() const { return static_cast<int>(FItems.size()); }
  TPage* GetItem(int Index) const { return FItems.at(Index); }
  int GetItemIndex(const TPage* Page) const;
  void InsertItem(TPage* Page);
  void RemoveItem(TPage* Page);
  bool ValidIndex(int Index) const { return Index >= 0 && Index < GetCount(); }
  void Clear();

  template <class T>
  T* PageByClass() const {
    for (TPage* Page : FItems) {
      if (auto* P = qobject_cast<T*>(Page)) return P;
    }
    return nullptr;
  }

 private:
  std::vector<TPage*> FItems;
};

// A page whose only child is a tab control holding one page per tab.
class TfmTabbedPage : public TPage {
  Q_OBJECT
 public:
  explicit TfmTabbedPage(QWidget* Parent = nullptr);

  void AddPage(TPage* Page);
  int PageCount() const;
  TPage* PageAt(int Index) const;
  TPage* ActivePage() const;
  int TabIndex() const;
  // Out-of-range indices are ignored.
  void SetTabIndex(int Index);
  QTabWidget* Tabs() const { return FTabs; }

  void Initialize() override;
  void UpdatePage() override;
  void UpdateObject() override;

 private:
  void TabChanged(int Index);

  QTabWidget* FTabs;
  int FCurrent = -1;
};

// Handles an error the way every handler does: the silent abort says nothing,
// everything else shows its text. Returns normally.
void ShowHandlerError(QWidget* Parent, const std::exception_ptr& Error);
