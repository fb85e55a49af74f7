#include "halden/server/JsonRpcClient.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

std::string SystemError(int Error) {
  char buffer[256];
  return strerror_r(Error, buffer, sizeof(buffer));
}

}  // namespace

TJsonRpcClient::TJsonRpcClient(const std::string& Host, int Port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(Host.c_str(), std::to_string(Port).c_str(), &hints, &found);
  if (resolved != 0) throw EJsonRpcConnection(gai_strerror(resolved));
  int error = 0;
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      error = errno;
      continue;
    }
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      FFd = fd;
      break;
    }
    error = errno;
    ::close(fd);
  }
  freeaddrinfo(found);
  if (FFd < 0) throw EJsonRpcConnection(SystemError(error));
  const int on = 1;
  setsockopt(FFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

TJsonRpcClient::~TJsonRpcClient() {
  Close();
}

void TJsonRpcClient::Close() {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
}

void TJsonRpcClient::SendLine(const std::string& Line) {
  if (FFd < 0) throw EJsonRpcConnection(SystemError(ENOTCONN));
  const std::string data = Line + "\n";
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(FFd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EJsonRpcConnection(SystemError(errno));
    }
    sent += static_cast<std::size_t>(n);
  }
}

std::optional<std::string> TJsonRpcClient::ReadLine() {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(FTimeoutMs, 0));
  for (;;) {
    const std::size_t end = FPending.find('\n');
    if (end != std::string::npos) {
      std::string line = FPending.substr(0, end);
      FPending.erase(0, end + 1);
      return line;
    }
    if (FFd < 0) return std::nullopt;
    int wait = -1;
    if (FTimeoutMs >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      wait = static_cast<int>(left.count());
    }
    pollfd p{FFd, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[64 * 1024];
    const ssize_t n = ::recv(FFd, buffer, sizeof(buffer), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    FPending.append(buffer, static_cast<std::size_t>(n));
  }
}

QJsonObject TJsonRpcClient::Call(const std::string& Method, const QJsonObject& Params) {
  const int id = FNextId++;
  QJsonObject request{{"jsonrpc", "2.0"}, {"id", id}, {"method", QString::fromStdString(Method)}};
  if (!Params.isEmpty()) request.insert("params", Params);
  SendLine(QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString());
  const auto line = ReadLine();
  if (!line) throw EJsonRpcConnection(SystemError(ECONNRESET));
  const QJsonObject response = QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object();
  if (response.contains("error")) {
    const QJsonObject error = response.value("error").toObject();
    throw EJsonRpcError(error.value("code").toInt(),
                        error.value("message").toString().toStdString());
  }
  if (response.value("id").toInt(-1) != id || !response.value("result").isObject())
    throw EJsonRpcConnection("unexpected response: " + *line);
  return response.value("result").toObject();
}

void TJsonRpcClient::Notify(const std::string& Method, const QJsonObject& Params) {
  QJsonObject request{{"jsonrpc", "2.0"}, {"method", QString::fromStdString(Method)}};
  if (!Params.isEmpty()) request.insert("params", Params);
  SendLine(QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString());
}
