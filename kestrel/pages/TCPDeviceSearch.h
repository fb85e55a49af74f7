#pragma once
// The announcements of networked KKTs on UDP port 16327: "SN=<serial>;
// IP=<address>; port=<number>". The datagram comes from anyone on the
// network, so the parser checks every bound and drops what does not fit.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QUdpSocket;

inline constexpr int kAnnouncementPort = 16327;

struct TTCPDeviceItem {
  QString Serial;
  QString IP;
  int Port = 0;
};

// The item of a well-formed announcement; nothing for any other datagram.
std::optional<TTCPDeviceItem> ParseAnnouncement(const QByteArray& Datagram);

// The devices found so far, one per serial number (later announcements of a
// known serial change nothing).
class TTCPDeviceList {
 public:
  // The added item, or null when the datagram is malformed or known.
  const TTCPDeviceItem* Add(const QByteArray& Datagram);
  const std::vector<TTCPDeviceItem>& Items() const { return FItems; }
  void Clear() { FItems.clear(); }

 private:
  std::vector<TTCPDeviceItem> FItems;
};

// Listens for announcements; each datagram is parsed on the thread of the
// object (the user-interface thread) and a new device reported once.
class TTCPDeviceSearch : public QObject {
 public:
  explicit TTCPDeviceSearch(QObject* Parent = nullptr);
  ~TTCPDeviceSearch() override;

  // Binds the UDP port (0: any free port, for tests). False when the port
  // cannot be bound; ErrorText then tells why, and manual entry still works.
  bool Start(int Port = kAnnouncementPort);
  void Stop();
  int LocalPort() const;
  QString ErrorText() const { return FErrorText; }
  TTCPDeviceList& Devices() { return FDevices; }

  std::function<void(const TTCPDeviceItem&)> FOnFound;

 private:
  void ReadPending();

  QUdpSocket* FSocket = nullptr;
  TTCPDeviceList FDevices;
  QString FErrorText;
};
