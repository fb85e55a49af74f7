#pragma once
// A TCP port held by a listening socket of the test, on all addresses, at a
// number of the system's choice.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TBusyPort {
 public:
  TBusyPort() {
    FFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(FFd, 4);
    socklen_t size = sizeof a;
    getsockname(FFd, reinterpret_cast<sockaddr*>(&a), &size);
    FPort = ntohs(a.sin_port);
  }
  ~TBusyPort() { close(FFd); }
  TBusyPort(const TBusyPort&) = delete;
  TBusyPort& operator=(const TBusyPort&) = delete;

  int Port() const { return FPort; }

 private:
  int FFd = -1;
  int FPort = 0;
};

// A port that was free a moment ago.
inline int FreePort() {
  return TBusyPort().Port();
}
