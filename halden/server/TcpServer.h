#pragma once
// Halden's TCP access: the socket dispatcher that offers the IHalden members
// over TCP (JSON-RPC lines, see docs/halden-protocol.md) and TTCPServer, which
// starts, stops and reconfigures it from the settings TCPEnabled and TCPPort.
//
// Threads: one accept thread per listener and one thread per connection. A
// connection thread reads and checks the requests itself and carries every
// call into a server object (creation and release included) to the main
// thread, the thread of the QCoreApplication, with a blocking queued call; so
// the members keep running one at a time there, beside the lock time-out
// timers and the window. TTCPServer and TSocketDispatcher are used from the
// main thread only, and must end before the QCoreApplication does.

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "halden/server/JsonRpc.h"

class TSocketDispatcherImpl;

// Times of a dispatcher. Halden uses the defaults; tests shorten them.
struct TDispatcherTimes {
  // A connection that sends nothing for longer is closed.
  std::chrono::milliseconds IdleTimeout = std::chrono::minutes(100);
  // How long a connection thread waits for data before it looks at the idle
  // time-out again.
  std::chrono::milliseconds WaitLimit = std::chrono::seconds(60);
};

// Everything about a dispatcher that the program itself never changes.
struct TDispatcherOptions {
  TDispatcherTimes Times;
  // Creates the server objects of the connections (THalden by default).
  TJsonRpcSession::TFactory Factory;
  // Live server objects of the process, all clients counted (THalden's count
  // by default); stopping waits for them.
  std::function<int()> LiveObjects;
  // Lets port 0 pick a free port (tests); otherwise 0 is out of range.
  bool AnyFreePort = false;
};

// The listener on all local addresses with its connections.
class TSocketDispatcher {
 public:
  // Starts listening; fails with ETCPServerError and the reason.
  TSocketDispatcher(int Port, TDispatcherOptions Options = {});
  // Closes every connection and waits (processing the main thread's events)
  // until their threads have released their objects and ended.
  ~TSocketDispatcher();
  TSocketDispatcher(const TSocketDispatcher&) = delete;
  TSocketDispatcher& operator=(const TSocketDispatcher&) = delete;

  // The port asked for, and the port listened on (they differ for port 0).
  int Port() const;
  int LocalPort() const;
  // Connections whose thread has not ended yet.
  int ActiveConnections() const;

  // Stops accepting, closes every connection and, when there were some,
  // waits while processing the main thread's events until their threads
  // have ended and no server object of the process is alive. Fails with
  // ETCPServerError "Истек таймаут. Не удается закрыть COM вызов" when that
  // takes longer than LimitMs; the threads still running are waited for by
  // the next Close or the destructor.
  void Close(int LimitMs = 1000);

 private:
  std::unique_ptr<TSocketDispatcherImpl> FImpl;
};

// The user's text for a listener that could not open Port: Error is the
// errno of the failed call (a port below 1024 without the right to bind it
// gets a text of its own).
std::string TcpListenErrorText(int Port, int Error);

// A failure to start or stop the listener; the message is the user's text.
class ETCPServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTCPServer {
 public:
  // Asks the user a warning question with the buttons Yes and No (the title
  // is the application's); true for Yes.
  using TAsk = std::function<bool(const std::string& Question)>;

  // Without Ask, every question is answered No.
  explicit TTCPServer(TAsk Ask = {}, TDispatcherOptions Options = {});
  // Stops the listener without asking.
  ~TTCPServer();
  TTCPServer(const TTCPServer&) = delete;
  TTCPServer& operator=(const TTCPServer&) = delete;

  // The wanted state (the settings TCPPort, default 211, and TCPEnabled,
  // default off); they take effect at the next Update.
  int Port() const { return FPort; }
  void SetPort(int Value) { FPort = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }

  // Brings the listener to the wanted state. Nothing changes when it already
  // is there (open connections stay). A listener that must go while clients
  // are connected goes only after the user said Yes to the question
  // "К серверу подключены клиенты и они будут отключены.\nВы уверены ?";
  // No returns false and changes nothing. Otherwise returns true, also when
  // the listener could not start or stop: Active() then tells what runs and
  // LastError() the reason, for the user.
  bool Update();
  // Sets the wanted state and updates; when the user says No the wanted
  // state returns to what it was before.
  bool Update(bool AEnabled, int APort);

  // Whether the listener runs, and on which port (0 when it does not).
  bool Active() const { return FServer != nullptr; }
  int LocalPort() const;
  // Connections open at this moment.
  int ActiveConnections() const;
  // Why the last Update could not bring the listener to the wanted state;
  // empty when it could.
  const std::string& LastError() const { return FLastError; }

  // Closes every connection and stops listening, without asking; the wanted
  // state stays. Fails (ETCPServerError) as TSocketDispatcher::Close does.
  void Stop();

 private:
  void Start();

  TAsk FAsk;
  TDispatcherOptions FOptions;
  std::unique_ptr<TSocketDispatcher> FServer;
  // Stopped listeners whose connection threads were still ending.
  std::vector<std::unique_ptr<TSocketDispatcher>> FClosing;
  int FPort = 211;
  bool FEnabled = false;
  std::string FLastError;
};
