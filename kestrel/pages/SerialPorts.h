#pragma once
// The serial ports of the computer as the device search sees them: a friendly
// name "<description> (COMn)" and a hardware ID "USB\VID_xxxx&PID_xxxx", and
// the rules that choose the ports to probe.

#include <QString>
#include <vector>

struct TSerialPortRec {
  QString Name;          // "COM" + ComNumber
  QString FriendlyName;  // right-trimmed
  QString HWStr;         // right-trimmed
  int ComNumber = -1;
};

// -1 for "(LPT" or without a number in "(COM...)".
int ComNumberOfFriendlyName(const QString& FriendlyName);
// "vid_" and "pid_" of the lower-cased hardware ID as four hexadecimal digits;
// 0 when missing or malformed (the product only when the vendor key is there).
int VendorOf(const QString& HWStr);
int ProductOf(const QString& HWStr);
// A record from what the system reports.
TSerialPortRec MakeSerialPortRec(const QString& FriendlyName, const QString& HWStr);
// The search probes a port unless its vendor is 0E8D, its product is 2012 or
// it has no COM number.
bool IsProbedPort(const TSerialPortRec& Port);

class TSerialPorts {
 public:
  // Adds a port reported by the system; ports without a COM number are left out.
  void AddReported(const QString& FriendlyName, const QString& HWStr);
  int IndexOfComNumber(int Number) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  const TSerialPortRec& Item(int Index) const { return FItems[Index]; }

 private:
  std::vector<TSerialPortRec> FItems;
};
