#include "halden/server/TcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <list>
#include <mutex>
#include <thread>

#include "common/logging/Logger.h"
#include "common/text/Intl.h"
#include "halden/server/Halden.h"

namespace {

constexpr const char* S_CLIENTSCONNECTED =
    N_("К серверу подключены клиенты и они будут отключены.\nВы уверены ?");
constexpr const char* S_CLOSETIMEOUT = N_("Истек таймаут. Не удается закрыть COM вызов");
constexpr const char* S_BADTCPPORT =
    N_("Недопустимый номер порта TCP: %d (допустимо от 1 до 65535)");
constexpr const char* S_TCPPORTPRIVILEGED =
    N_("Не удается открыть порт TCP %d: для портов ниже 1024 нужны права администратора");
constexpr const char* S_TCPPORTFAILED = N_("Не удается открыть порт TCP %d: %s");

std::string Format(const char* Format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, Format, copy);
  va_end(copy);
  std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(out.data(), out.size() + 1, Format, args);
  va_end(args);
  return out;
}

std::string SystemError(int Error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which need not be in the buffer.
  return strerror_r(Error, buffer, sizeof(buffer));
}

// Carries a call to the main thread and waits for it; its exception comes
// along. On the main thread the call runs at once.
void InvokeOnMain(const std::function<void()>& Call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    Call();
    return;
  }
  std::exception_ptr error;
  const bool posted = QMetaObject::invokeMethod(
      app,
      [&] {
        try {
          Call();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (!posted) throw std::runtime_error("the main thread cannot be reached");
  if (error) std::rethrow_exception(error);
}

// Processes the main thread's events for a moment.
void ProcessEventsBriefly() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string PeerName(int Fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof(address);
  if (getpeername(Fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
  char host[INET6_ADDRSTRLEN] = {};
  int port = 0;
  if (address.ss_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof(host));
    port = ntohs(a->sin6_port);
  } else if (address.ss_family == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &a->sin_addr, host, sizeof(host));
    port = ntohs(a->sin_port);
  }
  return std::string(host) + ":" + std::to_string(port);
}

// Writes all of Data; fails when the connection is gone.
void SendAll(int Fd, const std::string& Data) {
  std::size_t sent = 0;
  while (sent < Data.size()) {
    const ssize_t n = ::send(Fd, Data.data() + sent, Data.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("send: " + SystemError(errno));
    }
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string TcpListenErrorText(int Port, int Error) {
  if ((Error == EACCES || Error == EPERM) && Port > 0 && Port < 1024)
    return Format(_(S_TCPPORTPRIVILEGED), Port);
  return Format(_(S_TCPPORTFAILED), Port, SystemError(Error).c_str());
}

// One accepted connection and its thread.
struct TConnection {
  int Fd = -1;  // guarded by the dispatcher's lock; -1 once the thread closed it
  std::thread Thread;
  std::atomic<bool> Done{false};
  std::string Peer;
};

class TSocketDispatcherImpl {
 public:
  TSocketDispatcherImpl(int Port, TDispatcherOptions Options);
  ~TSocketDispatcherImpl();

  void Close(int LimitMs);
  int ActiveConnections() const;

  const int FPort;
  int FLocalPort = 0;

 private:
  void Listen();
  void StopAccepting();
  void AcceptLoop();
  void Serve(TConnection* Connection);
  // Joins the threads that have ended; returns whether all have.
  bool Reap();

  TDispatcherOptions FOptions;
  TLogger FLogger{"TSocketDispatcher"};
  int FListen = -1;
  int FWake = -1;  // eventfd that ends the accept thread
  std::thread FAcceptThread;
  mutable std::mutex FLock;
  std::list<std::unique_ptr<TConnection>> FConnections;
  bool FClosing = false;
};

TSocketDispatcherImpl::TSocketDispatcherImpl(int Port, TDispatcherOptions Options)
    : FPort(Port), FOptions(std::move(Options)) {
  if (!FOptions.Factory) FOptions.Factory = TJsonRpcSession::DefaultFactory();
  if (!FOptions.LiveObjects) FOptions.LiveObjects = [] { return THalden::ObjectCount(); };
  const bool anyPort = FOptions.AnyFreePort && Port == 0;
  if (!anyPort && (Port < 1 || Port > 65535)) throw ETCPServerError(Format(_(S_BADTCPPORT), Port));
  Listen();
  FWake = eventfd(0, EFD_CLOEXEC);
  if (FWake < 0) {
    const int error = errno;
    ::close(FListen);
    throw ETCPServerError(Format(_(S_TCPPORTFAILED), FPort, SystemError(error).c_str()));
  }
  FAcceptThread = std::thread([this] { AcceptLoop(); });
  FLogger.Info("Listening on port " + std::to_string(FLocalPort));
}

TSocketDispatcherImpl::~TSocketDispatcherImpl() {
  try {
    Close(-1);
  } catch (...) {
  }
  ::close(FWake);
}

void TSocketDispatcherImpl::Listen() {
  // All local addresses: IPv6 and IPv4 on one socket where the system has
  // IPv6, IPv4 alone where it has not.
  int error = 0;
  for (const int family : {AF_INET6, AF_INET}) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      error = errno;
      continue;
    }
    const int on = 1, off = 0;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    int bound;
    if (family == AF_INET6) {
      setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof(off));
      sockaddr_in6 address{};
      address.sin6_family = AF_INET6;
      address.sin6_addr = in6addr_any;
      address.sin6_port = htons(static_cast<uint16_t>(FPort));
      bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } else {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_ANY);
      address.sin_port = htons(static_cast<uint16_t>(FPort));
      bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    }
    if (bound != 0 || ::listen(fd, SOMAXCONN) != 0) {
      error = errno;
      ::close(fd);
      // Only a missing IPv6 is worth the second try.
      if (family == AF_INET6 && (error == EAFNOSUPPORT || error == EADDRNOTAVAIL)) continue;
      break;
    }
    sockaddr_storage local{};
    socklen_t length = sizeof(local);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    FLocalPort = family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port)
                                    : ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    FListen = fd;
    return;
  }
  throw ETCPServerError(TcpListenErrorText(FPort, error));
}

void TSocketDispatcherImpl::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      FLogger.Error("poll: " + SystemError(errno));
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      // Out of descriptors or memory: wait a little instead of spinning.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        pollfd wake{FWake, POLLIN, 0};
        ::poll(&wake, 1, 100);
      }
      continue;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    Reap();
    std::lock_guard<std::mutex> guard(FLock);
    if (FClosing) {
      ::close(fd);
      return;
    }
    auto connection = std::make_unique<TConnection>();
    connection->Fd = fd;
    connection->Peer = PeerName(fd);
    TConnection* raw = connection.get();
    try {
      raw->Thread = std::thread([this, raw] { Serve(raw); });
    } catch (const std::exception& e) {
      FLogger.Error("No thread for the connection from " + raw->Peer, e);
      ::close(fd);
      continue;
    }
    FConnections.push_back(std::move(connection));
  }
}

void TSocketDispatcherImpl::Serve(TConnection* Connection) {
  int fd;
  {
    std::lock_guard<std::mutex> guard(FLock);
    fd = Connection->Fd;
  }
  FLogger.Info("Connection from " + Connection->Peer);
  TJsonRpcSession session(FOptions.Factory, InvokeOnMain);
  const auto& times = FOptions.Times;
  const int waitMs = static_cast<int>(
      std::clamp<long long>(times.WaitLimit.count(), 1, std::numeric_limits<int>::max()));
  auto lastActivity = std::chrono::steady_clock::now();
  TJsonRpcLines lines;
  char buffer[64 * 1024];
  try {
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      const int ready = ::poll(&p, 1, waitMs);
      if (ready < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (ready == 0) {
        if (std::chrono::steady_clock::now() - lastActivity > times.IdleTimeout) {
          FLogger.Info("Idle time-out, closing the connection from " + Connection->Peer);
          break;
        }
        continue;
      }
      const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) break;
      lastActivity = std::chrono::steady_clock::now();
      lines.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
      while (const auto line = lines.Next()) {
        const auto response = session.Handle(*line);
        if (response) SendAll(fd, *response + "\n");
      }
      if (lines.TooLong()) {
        SendAll(fd, JsonRpc::LineTooLongResponse() + "\n");
        FLogger.Info("Line too long, closing the connection from " + Connection->Peer);
        break;
      }
      lastActivity = std::chrono::steady_clock::now();
    }
  } catch (const std::exception& e) {
    FLogger.Error("Connection from " + Connection->Peer + " failed", e);
  }
  // The client's objects go with its connection.
  try {
    session.ReleaseAll();
  } catch (const std::exception& e) {
    FLogger.Error("Releasing the objects of " + Connection->Peer + " failed", e);
  }
  {
    std::lock_guard<std::mutex> guard(FLock);
    ::close(fd);
    Connection->Fd = -1;
  }
  FLogger.Info("Connection from " + Connection->Peer + " closed");
  Connection->Done = true;
}

bool TSocketDispatcherImpl::Reap() {
  std::lock_guard<std::mutex> guard(FLock);
  bool all = true;
  for (auto it = FConnections.begin(); it != FConnections.end();) {
    if ((*it)->Done) {
      (*it)->Thread.join();
      it = FConnections.erase(it);
    } else {
      all = false;
      ++it;
    }
  }
  return all;
}

int TSocketDispatcherImpl::ActiveConnections() const {
  std::lock_guard<std::mutex> guard(FLock);
  return static_cast<int>(std::count_if(FConnections.begin(), FConnections.end(),
                                        [](const auto& c) { return !c->Done; }));
}

void TSocketDispatcherImpl::StopAccepting() {
  if (FAcceptThread.joinable()) {
    const uint64_t one = 1;
    if (::write(FWake, &one, sizeof(one)) < 0) FLogger.Error("eventfd: " + SystemError(errno));
    FAcceptThread.join();
  }
  if (FListen >= 0) {
    ::close(FListen);
    FListen = -1;
    FLogger.Info("Stopped listening on port " + std::to_string(FLocalPort));
  }
}

void TSocketDispatcherImpl::Close(int LimitMs) {
  StopAccepting();
  bool hadConnections;
  {
    std::lock_guard<std::mutex> guard(FLock);
    FClosing = true;
    hadConnections = std::any_of(FConnections.begin(), FConnections.end(),
                                 [](const auto& c) { return !c->Done; });
    // Wakes each connection thread: its read ends, it releases its objects.
    for (const auto& c : FConnections)
      if (c->Fd >= 0) ::shutdown(c->Fd, SHUT_RDWR);
  }
  if (!hadConnections) {
    Reap();
    return;
  }
  // The threads release their objects on the main thread (this one), so it
  // keeps processing events while it waits.
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const bool threadsDone = Reap();
    if (threadsDone && (LimitMs < 0 || FOptions.LiveObjects() == 0)) return;
    if (LimitMs >= 0 &&
        std::chrono::steady_clock::now() - start > std::chrono::milliseconds(LimitMs))
      throw ETCPServerError(_(S_CLOSETIMEOUT));
    ProcessEventsBriefly();
  }
}

TSocketDispatcher::TSocketDispatcher(int Port, TDispatcherOptions Options)
    : FImpl(std::make_unique<TSocketDispatcherImpl>(Port, std::move(Options))) {}

TSocketDispatcher::~TSocketDispatcher() = default;

int TSocketDispatcher::Port() const {
  return FImpl->FPort;
}

int TSocketDispatcher::LocalPort() const {
  return FImpl->FLocalPort;
}

int TSocketDispatcher::ActiveConnections() const {
  return FImpl->ActiveConnections();
}

void TSocketDispatcher::Close(int LimitMs) {
  FImpl->Close(LimitMs);
}

TTCPServer::TTCPServer(TAsk Ask, TDispatcherOptions Options)
    : FAsk(std::move(Ask)), FOptions(std::move(Options)) {}

TTCPServer::~TTCPServer() {
  FServer.reset();
  FClosing.clear();
}

int TTCPServer::LocalPort() const {
  return FServer ? FServer->LocalPort() : 0;
}

int TTCPServer::ActiveConnections() const {
  return FServer ? FServer->ActiveConnections() : 0;
}

bool TTCPServer::Update() {
  if (FServer && FEnabled && FServer->Port() == FPort) {
    FLastError.clear();
    return true;
  }
  if (FServer) {
    if (FServer->ActiveConnections() > 0 && !(FAsk && FAsk(_(S_CLIENTSCONNECTED)))) return false;
    try {
      Stop();
    } catch (const ETCPServerError& e) {
      FLastError = e.what();
      return true;
    }
  }
  FLastError.clear();
  if (FEnabled) Start();
  return true;
}

bool TTCPServer::Update(bool AEnabled, int APort) {
  const bool oldEnabled = FEnabled;
  const int oldPort = FPort;
  FEnabled = AEnabled;
  FPort = APort;
  if (Update()) return true;
  FEnabled = oldEnabled;
  FPort = oldPort;
  return false;
}

void TTCPServer::Start() {
  try {
    FServer = std::make_unique<TSocketDispatcher>(FPort, FOptions);
  } catch (const std::exception& e) {
    FLastError = e.what();
  }
}

void TTCPServer::Stop() {
  // Listeners left over from an earlier stop go once their threads ended.
  std::erase_if(FClosing, [](const auto& s) { return s->ActiveConnections() == 0; });
  if (!FServer) return;
  std::unique_ptr<TSocketDispatcher> server = std::move(FServer);
  try {
    server->Close();
  } catch (...) {
    FClosing.push_back(std::move(server));
    throw;
  }
}
