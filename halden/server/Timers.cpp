#include "halden/server/Timers.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimerEvent>
#include <atomic>

// The hidden window of the timer list: it lives on the main thread, owns the
// operating-system timers and carries out every start and stop there.
class TTimersWindow : public QObject {
 public:
  // Brings the operating-system timer of the timer ID in line with its state,
  // at once on the main thread, posted from any other.
  void Update(int ID) {
    if (QThread::currentThread() == thread()) {
      Apply(ID);
      return;
    }
    // A queued call fails only when the event cannot be posted; try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (QMetaObject::invokeMethod(
              this, [this, ID] { Apply(ID); }, Qt::QueuedConnection))
        return;
      QThread::yieldCurrentThread();
    }
  }

  std::mutex FLock;
  std::map<int, TTimer*> FList;  // by timer identifier
  std::map<int, int> FOsTimers;  // timer identifier -> Qt timer id
  std::map<int, int> FOwners;    // Qt timer id -> timer identifier
  int FDispatching = 0;          // handlers running (main thread only)

 protected:
  void timerEvent(QTimerEvent* Event) override {
    std::function<void()> handler;
    {
      std::lock_guard<std::mutex> guard(FLock);
      auto owner = FOwners.find(Event->timerId());
      if (owner == FOwners.end()) return;
      auto timer = FList.find(owner->second);
      if (timer == FList.end()) return;
      handler = timer->second->FOnTimer;
    }
    // Outside the lock: the handler may change or destroy its timer, even
    // the last one, which ends the list (see ~TTimers).
    ++FDispatching;
    if (handler) handler();
    --FDispatching;
  }

 private:
  void Apply(int ID) {
    std::lock_guard<std::mutex> guard(FLock);
    auto timer = FList.find(ID);
    const bool active = timer != FList.end() && timer->second->FInterval > 0 &&
                        timer->second->FEnabled && timer->second->FOnTimer;
    auto os = FOsTimers.find(ID);
    if (os != FOsTimers.end()) {
      killTimer(os->second);
      FOwners.erase(os->second);
      FOsTimers.erase(os);
    }
    if (!active) return;
    const int qtId = startTimer(timer->second->FInterval, Qt::PreciseTimer);
    if (qtId == 0) return;
    FOsTimers[ID] = qtId;
    FOwners[qtId] = ID;
  }
};

namespace {
std::atomic<int> gTimerCounter{0};
std::mutex gTimersLock;
std::weak_ptr<TTimers> gTimers;
}  // namespace

TTimers::TTimers() : FWindow(new TTimersWindow) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    if (FWindow->thread() != app->thread()) FWindow->moveToThread(app->thread());
  }
}

TTimers::~TTimers() {
  // Every timer has left the list, so no handler can run any more; the
  // window and its operating-system timers belong to the main thread.
  // A window whose handler is running cannot be deleted under it.
  if (QThread::currentThread() == FWindow->thread() && FWindow->FDispatching == 0)
    delete FWindow;
  else
    FWindow->deleteLater();
}

PTimers TTimers::Instance() {
  std::lock_guard<std::mutex> guard(gTimersLock);
  PTimers result = gTimers.lock();
  if (!result) {
    result.reset(new TTimers);
    gTimers = result;
  }
  return result;
}

int TTimers::Count() const {
  std::lock_guard<std::mutex> guard(FWindow->FLock);
  return static_cast<int>(FWindow->FList.size());
}

TTimer::TTimer() : FID(++gTimerCounter), FTimers(TTimers::Instance()) {
  std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
  FTimers->FWindow->FList[FID] = this;
}

TTimer::~TTimer() {
  {
    std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
    FTimers->FWindow->FList.erase(FID);
  }
  // Stops the operating-system timer, now or on the main thread.
  FTimers->FWindow->Update(FID);
}

bool TTimer::Enabled() const {
  std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
  return FEnabled;
}

void TTimer::SetEnabled(bool Value) {
  {
    std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
    if (FEnabled == Value) return;
    FEnabled = Value;
  }
  FTimers->FWindow->Update(FID);
}

int TTimer::Interval() const {
  std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
  return FInterval;
}

void TTimer::SetInterval(int Value) {
  {
    std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
    if (FInterval == Value) return;
    FInterval = Value;
  }
  FTimers->FWindow->Update(FID);
}

void TTimer::SetOnTimer(std::function<void()> Value) {
  {
    std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
    FOnTimer = std::move(Value);
  }
  FTimers->FWindow->Update(FID);
}

bool TTimer::Active() const {
  std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
  return FInterval > 0 && FEnabled && FOnTimer;
}

bool TTimer::Armed() const {
  std::lock_guard<std::mutex> guard(FTimers->FWindow->FLock);
  return FTimers->FWindow->FOsTimers.count(FID) != 0;
}
