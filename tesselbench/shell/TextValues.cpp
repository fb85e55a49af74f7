#include "tesselbench/shell/TextValues.h"

#include <QRegularExpression>
#include <cmath>

#include "common/text/Hex.h"
#include "common/text/Intl.h"

namespace {

QString FieldMessage(const QString& FieldName, const char* Separator) {
  return QString::fromUtf8(_("Некорректное значение в поле")) + QString::fromUtf8(Separator) +
         QLatin1Char('"') + FieldName + QLatin1Char('"');
}

constexpr double kSummLimit = 10995116277.0;

}  // namespace

void CheckIntStr(const QString& Text, const QString& FieldName) {
  if (Text.size() > 1024) throw EUserError(FieldMessage(FieldName, " "));
}

TMoney GetSumm(const QString& Text, const QString& FieldName) {
  QString S = Text;
  S.replace(QLatin1Char(','), QLatin1Char('.'));
  S.remove(QLatin1Char(' '));
  static const QRegularExpression Number(QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
  const QString Error = FieldMessage(FieldName, "\n");
  if (!Number.match(S).hasMatch()) throw EUserError(Error);
  bool Ok = false;
  const double Value = S.toDouble(&Ok);  // QString::toDouble always reads the C form
  if (!Ok || !std::isfinite(Value) || Value > kSummLimit) throw EUserError(Error);
  const auto Money = TMoney::FromDouble(ExRound(0.01, Value));
  if (!Money) throw EUserError(Error);
  return *Money;
}

double ExRound(double Step, double Value) {
  double Q = Value >= 0 ? std::trunc((Value + 0.00001) / Step) : std::trunc((Value - 0.00001) / Step);
  if (std::fabs(Value / Step - Q) > 0.49999) Q += Value >= 0 ? 1 : -1;
  return Step * Q;
}

QString AmountToStr(TMoney Amount, bool PointPosition) {
  if (PointPosition) {
    // Two decimals, halves away from zero, computed on the units exactly.
    const qint64 Units = Amount.Units();
    const qint64 Cents = (Units >= 0 ? Units + 50 : Units - 50) / 100;
    const qint64 Abs = Cents < 0 ? -Cents : Cents;
    return QStringLiteral("%1%2.%3")
        .arg(Cents < 0 ? QStringLiteral("-") : QString())
        .arg(Abs / 100)
        .arg(Abs % 100, 2, 10, QLatin1Char('0'));
  }
  return QString::number(Amount.Units() / TMoney::kScale);
}

QString BytesToHexText(const QByteArray& Bytes) {
  return QString::fromLatin1(Bytes.toHex(' ').toUpper());
}

QByteArray HexTextToBytes(const QString& Text) {
  QByteArray Result;
  static const QRegularExpression Space(QStringLiteral("\\s+"));
  for (const QString& Group : Text.split(Space, Qt::SkipEmptyParts)) {
    for (QChar C : Group) {
      if (C.unicode() > 127 || varkon::HexDigitValue(static_cast<char>(C.unicode())) < 0) {
        throw EUserError(QString::fromUtf8(_("Некорректные шестнадцатеричные данные: \"%1\""))
                             .arg(Group));
      }
    }
    for (qsizetype I = 0; I < Group.size(); I += 2) {
      Result.append(static_cast<char>(Group.mid(I, 2).toInt(nullptr, 16)));
    }
  }
  return Result;
}

QStringList SplitPrintText(const QString& Text, int Width) {
  if (Width < 1) Width = 40;
  QString Normal = Text;
  Normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  Normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QStringList Lines = Normal.split(QLatin1Char('\n'));
  // A text list has no line after a final line break, and an empty text none at all.
  if (!Lines.isEmpty() && Lines.last().isEmpty()) Lines.removeLast();
  QStringList Pieces;
  for (const QString& Line : Lines) {
    if (Line.isEmpty()) {
      Pieces.append(QString());
      continue;
    }
    for (qsizetype I = 0; I < Line.size(); I += Width) Pieces.append(Line.mid(I, Width));
  }
  return Pieces;
}

int TcpPortOfCode(int Code) { return ((Code & 0xF0) << 8) | 0x30 | (Code & 0x0F); }

int CodeOfTcpPort(int Port) { return (((Port & 0xF000) >> 12) << 4) | (Port & 0x0F); }

int BaudRateOfCode(int Code) {
  switch (Code) {
    case 0: return 2400;
    case 2: return 9600;
    case 3: return 19200;
    case 4: return 38400;
    case 5: return 57600;
    case 6: return 115200;
    case 7: return 230400;
    case 8: return 460800;
    case 9: return 921600;
    default: return 4800;
  }
}

int GetCycleValue(int N, int Bound) {
  if (Bound < 1) return Bound;
  return ((N - 1) % Bound) + 1;
}
