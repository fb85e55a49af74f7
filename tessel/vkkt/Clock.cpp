#include "tessel/vkkt/Clock.h"

namespace vkkt {

namespace {

// Device time has no time zone: it is kept as UTC, whatever the machine's zone.
QDateTime AsDeviceTime(const QDateTime& Value) {
  return QDateTime(Value.date(), Value.time(), Qt::UTC);
}

QDateTime SystemNow() {
  const QDateTime Local = QDateTime::currentDateTime();
  return AsDeviceTime(Local);
}

}  // namespace

TClock::TClock() : FBase(QDate(2026, 1, 15), QTime(10, 0, 0), Qt::UTC) {}

QDateTime TClock::Now() const {
  if (FFollow) return SystemNow().addMSecs(FOffsetMs);
  return FBase;
}

void TClock::Set(const QDateTime& Value) {
  FBase = AsDeviceTime(Value);
  if (FFollow) FOffsetMs = SystemNow().msecsTo(FBase);
}

void TClock::Advance(qint64 Seconds) {
  Set(Now().addSecs(Seconds));
}

void TClock::FollowSystemClock(bool On) {
  if (On == FFollow) return;
  FBase = Now();
  FFollow = On;
  if (On) FOffsetMs = SystemNow().msecsTo(FBase);
}

}  // namespace vkkt
