#pragma once
// A client of Halden's TCP dispatcher: one connection, one request line at a
// time, each waiting for its response line. Used by kktctl, the benchmark and
// the tests; blocking, from any one thread.

#include <QJsonObject>
#include <optional>
#include <stdexcept>
#include <string>

// The error response of a request: the JSON-RPC code and message.
class EJsonRpcError : public std::runtime_error {
 public:
  EJsonRpcError(int Code, const std::string& Message) : std::runtime_error(Message), FCode(Code) {}
  int Code() const { return FCode; }

 private:
  int FCode;
};

// A connection that could not be made or was lost; the message says why.
class EJsonRpcConnection : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TJsonRpcClient {
 public:
  // Connects to Host (a name or an address) at Port.
  TJsonRpcClient(const std::string& Host, int Port);
  ~TJsonRpcClient();
  TJsonRpcClient(const TJsonRpcClient&) = delete;
  TJsonRpcClient& operator=(const TJsonRpcClient&) = delete;

  // How long a response may take, ms; below 0 (the default) without limit.
  void SetTimeout(int Ms) { FTimeoutMs = Ms; }

  // Sends the request and returns the result of its response; an error
  // response raises EJsonRpcError, a lost connection EJsonRpcConnection.
  QJsonObject Call(const std::string& Method, const QJsonObject& Params = {});
  // A request without id: no response comes.
  void Notify(const std::string& Method, const QJsonObject& Params = {});

  // The line level, for tests: sends Line and "\n"; reads the next line
  // (without "\n"), or nothing at the end of the connection or when the
  // time-out passed.
  void SendLine(const std::string& Line);
  std::optional<std::string> ReadLine();
  // Closes the connection at once.
  void Close();

 private:
  int FFd = -1;
  int FTimeoutMs = -1;
  int FNextId = 1;
  std::string FPending;
};
