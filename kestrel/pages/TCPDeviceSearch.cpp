#include "kestrel/pages/TCPDeviceSearch.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "common/text/Intl.h"
#include "kestrel/framework/KestrelError.h"

namespace {

constexpr int kMaxDatagram = 1024;
constexpr int kMaxField = 64;

// The text after Key and one separator up to the first ";" (or the end).
std::optional<QString> ValueAfter(const QString& Text, const QString& Key) {
  const int At = Text.indexOf(Key);
  if (At < 0) return std::nullopt;
  const int Begin = At + Key.size() + 1;
  if (Begin > Text.size()) return std::nullopt;
  const int End = Text.indexOf(QLatin1Char(';'), Begin);
  return Text.mid(Begin, End < 0 ? -1 : End - Begin);
}

bool Printable(const QString& Value) {
  if (Value.isEmpty() || Value.size() > kMaxField) return false;
  for (QChar C : Value)
    if (C.unicode() < 0x21 || C.unicode() > 0x7E) return false;
  return true;
}

}  // namespace

std::optional<TTCPDeviceItem> ParseAnnouncement(const QByteArray& Datagram) {
  if (Datagram.isEmpty() || Datagram.size() > kMaxDatagram) return std::nullopt;
  QString Text = QString::fromLatin1(Datagram);
  if (!Text.contains(QLatin1String("SN")) || !Text.contains(QLatin1String("IP")) ||
      !Text.contains(QLatin1String("port")))
    return std::nullopt;
  TTCPDeviceItem Item;
  const auto Serial = ValueAfter(Text, QStringLiteral("SN"));
  if (!Serial) return std::nullopt;
  Item.Serial = *Serial;
  int Semicolon = Text.indexOf(QLatin1Char(';'));
  if (Semicolon < 0) return std::nullopt;
  Text.remove(0, Semicolon + 1);
  const auto IP = ValueAfter(Text, QStringLiteral("IP"));
  if (!IP) return std::nullopt;
  Item.IP = *IP;
  Semicolon = Text.indexOf(QLatin1Char(';'));
  if (Semicolon < 0) return std::nullopt;
  Text.remove(0, std::min<int>(Text.size(), Semicolon + 2));
  const int PortAt = Text.indexOf(QLatin1String("port"));
  if (PortAt < 0 || PortAt + 5 > Text.size()) return std::nullopt;
  bool Ok = false;
  Item.Port = Text.mid(PortAt + 5).trimmed().toInt(&Ok);
  if (!Ok || Item.Port < 1 || Item.Port > 65535) return std::nullopt;
  if (!Printable(Item.Serial) || !Printable(Item.IP)) return std::nullopt;
  return Item;
}

const TTCPDeviceItem* TTCPDeviceList::Add(const QByteArray& Datagram) {
  const auto Item = ParseAnnouncement(Datagram);
  if (!Item) return nullptr;
  for (const TTCPDeviceItem& Known : FItems)
    if (Known.Serial == Item->Serial) return nullptr;
  FItems.push_back(*Item);
  return &FItems.back();
}

TTCPDeviceSearch::TTCPDeviceSearch(QObject* Parent) : QObject(Parent) {}

TTCPDeviceSearch::~TTCPDeviceSearch() {
  Stop();
}

bool TTCPDeviceSearch::Start(int Port) {
  Stop();
  FDevices.Clear();
  FErrorText.clear();
  FSocket = new QUdpSocket(this);
  if (!FSocket->bind(QHostAddress::AnyIPv4, static_cast<quint16>(Port))) {
    FErrorText = Text(_("Поиск по сети недоступен: порт UDP %1 занят (%2)"))
                     .arg(Port)
                     .arg(FSocket->errorString());
    Stop();
    return false;
  }
  connect(FSocket, &QUdpSocket::readyRead, this, [this] { ReadPending(); });
  return true;
}

void TTCPDeviceSearch::Stop() {
  delete FSocket;
  FSocket = nullptr;
}

int TTCPDeviceSearch::LocalPort() const {
  return FSocket ? FSocket->localPort() : 0;
}

void TTCPDeviceSearch::ReadPending() {
  while (FSocket && FSocket->hasPendingDatagrams()) {
    const QNetworkDatagram Datagram = FSocket->receiveDatagram(kMaxDatagram + 1);
    if (const TTCPDeviceItem* Item = FDevices.Add(Datagram.data()))
      if (FOnFound) FOnFound(*Item);
  }
}
