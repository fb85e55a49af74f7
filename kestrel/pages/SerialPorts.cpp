#include "kestrel/pages/SerialPorts.h"

namespace {

QString RightTrimmed(const QString& Value) {
  int End = Value.size();
  while (End > 0 && Value[End - 1].isSpace()) --End;
  return Value.left(End);
}

// Four hexadecimal digits after Key in the lower-cased text, or -1 when the
// key is missing; 0 for a malformed number.
int HexAfter(const QString& Lower, const QString& Key) {
  const int At = Lower.indexOf(Key);
  if (At < 0) return -1;
  bool Ok = false;
  const int Value = Lower.mid(At + Key.size(), 4).toInt(&Ok, 16);
  return Ok && Lower.mid(At + Key.size(), 4).size() == 4 ? Value : 0;
}

}  // namespace

int ComNumberOfFriendlyName(const QString& FriendlyName) {
  if (FriendlyName.contains(QLatin1String("(LPT"))) return -1;
  const int At = FriendlyName.indexOf(QLatin1String("(COM"));
  if (At < 0) return -1;
  const int Begin = At + 4;
  const int End = FriendlyName.indexOf(QLatin1Char(')'), Begin);
  if (End < 0) return -1;
  bool Ok = false;
  const int Number = FriendlyName.mid(Begin, End - Begin).toInt(&Ok);
  return Ok && Number >= 0 ? Number : -1;
}

int VendorOf(const QString& HWStr) {
  return std::max(0, HexAfter(HWStr.toLower(), QStringLiteral("vid_")));
}

int ProductOf(const QString& HWStr) {
  const QString Lower = HWStr.toLower();
  if (HexAfter(Lower, QStringLiteral("vid_")) < 0) return 0;
  return std::max(0, HexAfter(Lower, QStringLiteral("pid_")));
}

TSerialPortRec MakeSerialPortRec(const QString& FriendlyName, const QString& HWStr) {
  TSerialPortRec R;
  R.FriendlyName = RightTrimmed(FriendlyName);
  R.HWStr = RightTrimmed(HWStr);
  R.ComNumber = ComNumberOfFriendlyName(R.FriendlyName);
  R.Name = QStringLiteral("COM") + QString::number(R.ComNumber);
  return R;
}

bool IsProbedPort(const TSerialPortRec& Port) {
  if (VendorOf(Port.HWStr) == 0x0E8D) return false;
  if (ProductOf(Port.HWStr) == 0x2012) return false;
  return Port.ComNumber >= 0;
}

void TSerialPorts::AddReported(const QString& FriendlyName, const QString& HWStr) {
  TSerialPortRec R = MakeSerialPortRec(FriendlyName, HWStr);
  if (R.ComNumber >= 0) FItems.push_back(std::move(R));
}

int TSerialPorts::IndexOfComNumber(int Number) const {
  for (int I = 0; I < Count(); ++I)
    if (FItems[I].ComNumber == Number) return I;
  return -1;
}
