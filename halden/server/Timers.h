#pragma once
// Timers that can be switched from any thread and always fire on the main
// thread (the thread of the QCoreApplication).
//
// A TTimer is active exactly when its Interval is above 0, it is Enabled and
// it has an OnTimer handler. Every real change of one of the three brings the
// operating-system timer in line: an active timer is (re)armed with its
// interval, which restarts the countdown; an inactive one is stopped. On the
// main thread that happens at once; from another thread it is posted to the
// main thread. A timer fires periodically while it stays active.
//
// TTimers is the process-wide list of the timers, kept alive by the timers
// themselves: it is created with the first timer and goes with the last.

#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QObject;
class TTimersWindow;

class TTimers;
using PTimers = std::shared_ptr<TTimers>;

class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  // Identifier from a process-wide counter that starts at 1.
  int ID() const { return FID; }

  bool Enabled() const;
  void SetEnabled(bool Value);
  int Interval() const;  // ms; 1000 by default
  void SetInterval(int Value);
  // The handler runs on the main thread. It may change or destroy the timer.
  void SetOnTimer(std::function<void()> Value);

  bool Active() const;
  // Whether the operating-system timer is armed at this moment; for tests
  // and diagnostics (a change posted from another thread shows here once the
  // main thread has carried it out).
  bool Armed() const;

 private:
  friend class TTimersWindow;

  const int FID;
  const PTimers FTimers;
  // Guarded by the list's mutex.
  bool FEnabled = false;
  int FInterval = 1000;
  std::function<void()> FOnTimer;
};

class TTimers {
 public:
  ~TTimers();
  TTimers(const TTimers&) = delete;
  TTimers& operator=(const TTimers&) = delete;

  // The list, created on first demand.
  static PTimers Instance();

  // Number of timers in the list.
  int Count() const;

 private:
  friend class TTimer;
  TTimers();

  // Lives on the main thread; holds the list and the operating-system timers.
  TTimersWindow* FWindow;
};
