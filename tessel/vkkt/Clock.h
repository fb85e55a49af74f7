#pragma once
// The virtual KKT's clock. It stands still unless it is moved or told to
// follow the computer's clock, so that tests see the same time on every run.

#include <QDateTime>

namespace vkkt {

class TClock {
 public:
  // Starts at 2026-01-15 10:00:00 and stands still.
  TClock();

  QDateTime Now() const;
  void Set(const QDateTime& Value);  // keeps following the computer's clock if it did
  void Advance(qint64 Seconds);
  // From now on the clock runs with the computer's clock, keeping its offset
  // to it; false stops it where it is.
  void FollowSystemClock(bool On);
  bool FollowsSystemClock() const { return FFollow; }

 private:
  QDateTime FBase;       // the time when standing still
  qint64 FOffsetMs = 0;  // device time minus computer time when following
  bool FFollow = false;
};

}  // namespace vkkt
