// The device search's port rules and the parser of network announcements.

#include <gtest/gtest.h>

#include "kestrel/pages/SerialPorts.h"
#include "kestrel/pages/TCPDeviceSearch.h"

namespace {

TEST(SerialPortRulesTest, FriendlyNamesAndHardwareIds) {
  struct TCase {
    const char* Friendly;
    const char* HW;
    int Com;
    int Vendor, Product;
    bool Probed;
  };
  const TCase Cases[] = {
      {"USB Serial Device (COM12)", "USB\\VID_1FC9&PID_0083", 12, 0x1FC9, 0x0083, true},
      {"Communications Port (COM1)  ", "ACPI\\PNP0501  ", 1, 0, 0, true},
      {"Printer Port (LPT1)", "ACPI\\PNP0400", -1, 0, 0, false},
      {"Odd (LPT2) (COM3)", "", -1, 0, 0, false},
      {"No number here", "USB\\VID_0403&PID_6001", -1, 0x0403, 0x6001, false},
      {"Broken (COM)", "", -1, 0, 0, false},
      {"Broken (COMx)", "", -1, 0, 0, false},
      {"Open (COM4", "", -1, 0, 0, false},
      {"MediaTek PreLoader (COM7)", "USB\\VID_0E8D&PID_0003", 7, 0x0E8D, 0x0003, false},
      {"Modem (COM8)", "usb\\vid_12d1&pid_2012", 8, 0x12D1, 0x2012, false},
      {"Bad hex (COM9)", "USB\\VID_ZZZZ&PID_2012", 9, 0, 0x2012, false},
      {"No vendor key (COM10)", "USB\\PID_2012", 10, 0, 0, true},
      {"Short (COM11)", "USB\\VID_12", 11, 0, 0, true},
  };
  for (const TCase& C : Cases) {
    const TSerialPortRec R =
        MakeSerialPortRec(QString::fromUtf8(C.Friendly), QString::fromUtf8(C.HW));
    EXPECT_EQ(R.ComNumber, C.Com) << C.Friendly;
    EXPECT_EQ(VendorOf(R.HWStr), C.Vendor) << C.HW;
    EXPECT_EQ(ProductOf(R.HWStr), C.Product) << C.HW;
    EXPECT_EQ(IsProbedPort(R), C.Probed) << C.Friendly;
    EXPECT_FALSE(R.FriendlyName.endsWith(QLatin1Char(' ')));
  }
  TSerialPorts Ports;
  Ports.AddReported(QStringLiteral("Printer Port (LPT1)"), QStringLiteral("x"));
  Ports.AddReported(QStringLiteral("USB Serial Device (COM12)"), QStringLiteral("x"));
  ASSERT_EQ(Ports.Count(), 1);
  EXPECT_EQ(Ports.Item(0).Name, QStringLiteral("COM12"));
  EXPECT_EQ(Ports.IndexOfComNumber(12), 0);
  EXPECT_EQ(Ports.IndexOfComNumber(1), -1);
}

TEST(AnnouncementTest, WellFormedAnnouncements) {
  struct TCase {
    const char* Datagram;
    const char* Serial;
    const char* IP;
    int Port;
  };
  const TCase Cases[] = {
      {"SN=0000000000012345;IP=192.168.1.50; port=7778", "0000000000012345", "192.168.1.50", 7778},
      {"SN=1;IP=10.0.0.1; port=1", "1", "10.0.0.1", 1},
      {"SN=1;IP=10.0.0.1; port=65535\n", "1", "10.0.0.1", 65535},
  };
  for (const TCase& C : Cases) {
    const auto Item = ParseAnnouncement(QByteArray(C.Datagram));
    ASSERT_TRUE(Item) << C.Datagram;
    EXPECT_EQ(Item->Serial, QLatin1String(C.Serial));
    EXPECT_EQ(Item->IP, QLatin1String(C.IP));
    EXPECT_EQ(Item->Port, C.Port);
  }
}

TEST(AnnouncementTest, MalformedAndHostileDatagramsAreIgnored) {
  const QByteArray Cases[] = {
      "",
      "SN",
      "SNIPport",
      "SN=1;IP=10.0.0.1; port=",
      "SN=1;IP=10.0.0.1; port=abc",
      "SN=1;IP=10.0.0.1; port=0",
      "SN=1;IP=10.0.0.1; port=65536",
      "SN=1;IP=10.0.0.1; port=-5",
      "SN=1;IP=10.0.0.1; port=99999999999999999999",
      "IP=10.0.0.1;SN=1; port=7778",  // reordered: the address is not where it is looked for
      "SN=1;IP=10.0.0.1",             // truncated
      "SN=1;IP=10.0.0.1;",
      "SN=1;IP=10.0.0.1; por",
      "SN=;IP=10.0.0.1; port=7778",
      "SN=1;IP=; port=7778",
      QByteArray("SN=1\0;IP=10.0.0.1; port=7778", 28),
      "SN=1;IP=10.0.0.1\xff; port=7778",
      QByteArray("SN=") + QByteArray(5000, 'A') + ";IP=1.2.3.4; port=1",
      "port",
  };
  for (const QByteArray& D : Cases) EXPECT_FALSE(ParseAnnouncement(D)) << D.toStdString();
}

TEST(AnnouncementTest, OneItemPerSerial) {
  TTCPDeviceList List;
  EXPECT_NE(List.Add("SN=1;IP=10.0.0.1; port=7778"), nullptr);
  EXPECT_EQ(List.Add("SN=1;IP=10.0.0.2; port=7779"), nullptr);  // known serial: unchanged
  EXPECT_EQ(List.Add("SN=2;IP=10.0.0.3; port=abc"), nullptr);
  EXPECT_NE(List.Add("SN=2;IP=10.0.0.3; port=7778"), nullptr);
  ASSERT_EQ(List.Items().size(), 2u);
  EXPECT_EQ(List.Items()[0].IP, QStringLiteral("10.0.0.1"));
}

}  // namespace

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QUdpSocket>

namespace {

TEST(TCPDeviceSearchTest, OneRealDatagramThroughLoopback) {
  TTCPDeviceSearch Search;
  std::vector<TTCPDeviceItem> Found;
  Search.FOnFound = [&Found](const TTCPDeviceItem& Item) { Found.push_back(Item); };
  ASSERT_TRUE(Search.Start(0)) << Search.ErrorText().toStdString();
  QUdpSocket Sender;
  for (int I = 0; I < 2; ++I)
    Sender.writeDatagram(QByteArray("SN=0042;IP=127.0.0.1; port=7778"), QHostAddress::LocalHost,
                         static_cast<quint16>(Search.LocalPort()));
  Sender.writeDatagram(QByteArray("garbage"), QHostAddress::LocalHost,
                       static_cast<quint16>(Search.LocalPort()));
  QElapsedTimer Timer;
  Timer.start();
  while (Found.empty() && Timer.elapsed() < 20000) {
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
  for (int I = 0; I < 50; ++I) QCoreApplication::processEvents();  // the duplicate, if any
  ASSERT_EQ(Found.size(), 1u);
  EXPECT_EQ(Found[0].Serial, QStringLiteral("0042"));
  EXPECT_EQ(Found[0].Port, 7778);
}

TEST(TCPDeviceSearchTest, PortInUseIsReportedAndSearchStaysUsable) {
  QUdpSocket Holder;
  ASSERT_TRUE(Holder.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
  TTCPDeviceSearch Search;
  EXPECT_FALSE(Search.Start(Holder.localPort()));
  EXPECT_TRUE(Search.ErrorText().contains(QString::number(Holder.localPort())));
  EXPECT_EQ(Search.LocalPort(), 0);
}

}  // namespace
