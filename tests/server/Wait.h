#pragma once
// Waiting on the main thread for something that the event loop brings about.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

// Processes events until Condition holds or LimitMs passed; the limit is
// generous, a busy machine only makes the wait longer.
inline bool WaitFor(const std::function<bool()>& Condition, int LimitMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!Condition()) {
    if (clock.elapsed() > LimitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}
