#pragma once
// The IHalden members as JSON-RPC 2.0 requests, one per line: the request
// checks and the dispatch of one TCP connection of Halden, without any socket
// (docs/halden-protocol.md describes the protocol for client writers).
//
// A session belongs to one connection. It creates server objects on "Create",
// keeps them under integer handles of its own, calls their members by name
// and releases them on "Release" and when the session ends (the connection
// closed), exactly as the last reference of an automation client would.
//
// Handle runs on the connection's thread: the line is parsed and checked
// there, and only the calls into the server objects (their creation and
// release too) go through the invoker, which carries them to the main thread.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class IHalden;

namespace JsonRpc {

// The error codes of JSON-RPC 2.0 that the session answers with.
constexpr int ParseError = -32700;      // not JSON
constexpr int InvalidRequest = -32600;  // not a request object, a batch, a line too long
constexpr int MethodNotFound = -32601;  // no such member
constexpr int InvalidParams = -32602;   // parameter missing or mistyped, unknown handle or class
constexpr int ServerError = -32000;     // an exception escaped a member

// The longest request line, without its "\n".
constexpr std::size_t MaxLineLength = 1024 * 1024;

// The response that refuses a line longer than MaxLineLength; the connection
// is closed after it.
std::string LineTooLongResponse();

}  // namespace JsonRpc

// Cuts the bytes received on a connection into request lines.
class TJsonRpcLines {
 public:
  void Append(std::string_view Bytes) { FPending.append(Bytes); }
  // The next complete line without its "\n", or nothing while none is
  // complete or once the line in progress is longer than MaxLineLength.
  std::optional<std::string> Next();
  // The line in progress is longer than MaxLineLength (complete or not):
  // the connection ends after LineTooLongResponse.
  bool TooLong() const { return FTooLong; }

 private:
  std::string FPending;
  std::size_t FScanned = 0;  // of FPending, known to hold no "\n"
  bool FTooLong = false;
};

class TJsonRpcSession {
 public:
  // Creates one server object.
  using TFactory = std::function<std::unique_ptr<IHalden>()>;
  // Runs the call where the server objects live and returns when it is done.
  // Exceptions of the call reach the caller.
  using TInvoker = std::function<void(const std::function<void()>& Call)>;

  // THalden objects, and calls made right here.
  static TFactory DefaultFactory();
  static void Direct(const std::function<void()>& Call) { Call(); }

  explicit TJsonRpcSession(TFactory Factory = DefaultFactory(), TInvoker Invoker = Direct);
  // Releases the objects still held.
  ~TJsonRpcSession();
  TJsonRpcSession(const TJsonRpcSession&) = delete;
  TJsonRpcSession& operator=(const TJsonRpcSession&) = delete;

  // One request line (without its "\n"; a final "\r" is dropped): the
  // response line without its "\n", or nothing for a notification and for a
  // blank line.
  std::optional<std::string> Handle(std::string_view Line);

  // Releases every object of the session, as when its connection closes.
  void ReleaseAll();
  int ObjectCount() const { return static_cast<int>(FObjects.size()); }

 private:
  class TRequest;

  void Dispatch(TRequest& Request);
  IHalden& Object(TRequest& Request);

  TFactory FFactory;
  TInvoker FInvoker;
  std::map<int, std::unique_ptr<IHalden>> FObjects;
  int FNextHandle = 1;
};
