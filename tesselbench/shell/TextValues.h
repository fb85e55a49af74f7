#pragma once
// Conversions between what the user types on the pages and driver values,
// free of widgets so that they are tested directly.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "driver/Money.h"

// An error whose text is shown to the user in a message box; the text is
// already translated. what() holds it in UTF-8.
class EUserError : public std::runtime_error {
 public:
  explicit EUserError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
  QString Message() const { return QString::fromUtf8(what()); }
};

// The silent abort: ends a button handler without any message.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "silent abort"; }
};

// Fails with "Некорректное значение в поле "<FieldName>"" when the text is
// longer than 1024 characters.
void CheckIntStr(const QString& Text, const QString& FieldName);

// An amount typed by the user: ',' counts as '.', blanks are dropped, then an
// optional sign and decimal digits with at most one point; rounded to 0.01.
// Anything else (exponents, "nan", "inf", hexadecimal, empty text) and
// values above 10995116277 fail with the field's name.
TMoney GetSumm(const QString& Text, const QString& FieldName);

// Value rounded to a multiple of Step, halves away from zero, with the
// tolerance that makes 12.345 come out as 12.35.
double ExRound(double Step, double Value);

// "%.2f" with PointPosition, else the whole part with the fraction cut off.
QString AmountToStr(TMoney Amount, bool PointPosition);

// Bytes as two upper-case digits each, separated by single blanks.
QString BytesToHexText(const QByteArray& Bytes);
// Hexadecimal text back into bytes: groups separated by any white space
// (empty groups skipped); each group is read two digits to a byte, a final
// single digit is a byte of its own. Any other character fails with a
// message naming the group, so that a damaged command is never sent cut.
QByteArray HexTextToBytes(const QString& Text);

// The pieces PrintText prints: every line of the text (an empty line once)
// cut into pieces of Width characters; a width below 1 counts as 40.
QStringList SplitPrintText(const QString& Text, int Width);

// The device's one-byte TCP port code and the port it stands for.
int TcpPortOfCode(int Code);
int CodeOfTcpPort(int Port);

// The baud rate of a BaudRate code: 0 2400, 2 9600 ... 9 921600, else 4800.
int BaudRateOfCode(int Code);

// The value of receipt N (from 1) cycling from 1 up to Bound; a bound below
// 1 has nothing to cycle over and gives the bound itself.
int GetCycleValue(int N, int Bound);
