#pragma once
// The small driver operations all pages share. Each acts on the driver it is
// given (the pages pass the shared instance) and turns a failed call into
// EKestrelError through CheckResult.

#include <QString>
#include <functional>

#include "driver/IDriver.h"

// Busy retries (80/75 while the device prints) end after this many calls; the
// last code then goes to CheckResult.
inline constexpr int kBusyRetryLimit = 300;
inline constexpr int kBusyPauseMs = 100;

// Fails with "Ошибка <code>, <ResultCodeDescription>" unless Code is 0.
void CheckResult(IDriver& Driver, int Code);
// The text of that failure.
QString ResultErrorText(int Code, const QString& Description);

// Tables 18, 19 and 24 through model parameters 72, 73 and 75; others as given.
int TableNumberOf(IDriver& Driver, int Table);

void WriteTableStr(IDriver& Driver, int Table, int Row, int Field, const QString& Value);
void WriteTableInt(IDriver& Driver, int Table, int Row, int Field, qint64 Value);
void WriteTableIntRow1(IDriver& Driver, int Table, int Field, qint64 Value);
QString ReadTableStr(IDriver& Driver, int Table, int Row, int Field);
qint64 ReadTableInt(IDriver& Driver, int Table, int Row, int Field);
// As above, but a field the model lacks (code 93) reads as empty or 0.
QString ReadTableStrDef(IDriver& Driver, int Table, int Row, int Field);
qint64 ReadTableIntDef(IDriver& Driver, int Table, int Row, int Field);

void SendTagStr(IDriver& Driver, int Tag, const QString& Value);
void SendTagByte(IDriver& Driver, int Tag, int Value);
// FNSendTag, repeated while the device is busy printing.
void SendTag(IDriver& Driver);

// Calls Call again while it answers 80 or 75, at most Limit calls with
// PauseMs between them; CheckResult on the last code.
void RepeatWhileBusy(IDriver& Driver, const std::function<int()>& Call, int Limit = kBusyRetryLimit,
                     int PauseMs = kBusyPauseMs);

// Model parameter 28: the model keeps its FFD version in table 10. A failed
// read of the parameter means the standard layout.
bool UsesAltTableLayout(IDriver& Driver);
bool IsModel19(IDriver& Driver);
int ReadFFDVersion(IDriver& Driver);
void WriteFFDVersion(IDriver& Driver, int Version);
