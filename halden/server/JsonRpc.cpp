#include "halden/server/JsonRpc.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <climits>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "common/text/Intl.h"
#include "halden/server/Halden.h"
#include "halden/server/HaldenLib.h"

namespace {

// A request that is answered with a JSON-RPC error.
struct ERpcError {
  int Code;
  std::string Message;
};

constexpr const char* S_UNKNOWNERROR = N_("Неизвестная ошибка");

std::string Compact(const QJsonValue& Value) {
  // A document holds only an object or an array: a scalar goes through a
  // one-element array.
  if (Value.isObject())
    return QJsonDocument(Value.toObject()).toJson(QJsonDocument::Compact).toStdString();
  const std::string text =
      QJsonDocument(QJsonArray{Value}).toJson(QJsonDocument::Compact).toStdString();
  return text.substr(1, text.size() - 2);
}

std::string ResultResponse(const QJsonValue& Id, const QJsonObject& Result) {
  return "{\"jsonrpc\":\"2.0\",\"id\":" + Compact(Id) + ",\"result\":" + Compact(Result) + "}";
}

std::string ErrorResponse(const QJsonValue& Id, int Code, const std::string& Message) {
  QJsonObject error{{"code", Code}, {"message", QString::fromStdString(Message)}};
  return "{\"jsonrpc\":\"2.0\",\"id\":" + Compact(Id) + ",\"error\":" + Compact(error) + "}";
}

[[noreturn]] void InvalidParams(const std::string& Detail) {
  throw ERpcError{JsonRpc::InvalidParams, "Invalid params: " + Detail};
}

// A class name of Create: the programmatic identifier or the class GUID,
// in either case, the GUID with or without its braces.
bool KnownClass(const QString& Name) {
  const QString guid = QString(HaldenLib::CLASS_Halden);
  return Name.compare(HaldenLib::ProgID, Qt::CaseInsensitive) == 0 ||
         Name.compare(guid, Qt::CaseInsensitive) == 0 ||
         Name.compare(guid.mid(1, guid.size() - 2), Qt::CaseInsensitive) == 0;
}

}  // namespace

std::string JsonRpc::LineTooLongResponse() {
  return ErrorResponse(QJsonValue::Null, InvalidRequest, "Invalid Request: line longer than 1 MiB");
}

std::optional<std::string> TJsonRpcLines::Next() {
  if (FTooLong) return std::nullopt;
  const std::size_t end = FPending.find('\n', FScanned);
  if (end == std::string::npos) {
    FScanned = FPending.size();
    FTooLong = FPending.size() > JsonRpc::MaxLineLength;
    return std::nullopt;
  }
  if (end > JsonRpc::MaxLineLength) {
    FTooLong = true;
    return std::nullopt;
  }
  std::string line = FPending.substr(0, end);
  FPending.erase(0, end + 1);
  FScanned = 0;
  return line;
}

// One request: its parameters and its result, as the members read and fill them.
class TJsonRpcSession::TRequest {
 public:
  QString Method;
  QJsonObject Params;
  QJsonObject Result;

  bool Has(const char* Name) const { return Params.contains(QLatin1String(Name)); }

  // An I4: a whole number within the signed 32-bit range.
  int Int(const char* Name) const {
    const QJsonValue v = Params.value(QLatin1String(Name));
    if (v.isUndefined()) InvalidParams(std::string("missing ") + Name);
    const double d = v.toDouble(NAN);
    if (!v.isDouble() || !std::isfinite(d) || d != std::trunc(d) || d < INT32_MIN || d > INT32_MAX)
      InvalidParams(std::string(Name) + " must be a 32-bit integer");
    return static_cast<int>(d);
  }

  std::string Text(const char* Name) const {
    const QJsonValue v = Params.value(QLatin1String(Name));
    if (v.isUndefined()) InvalidParams(std::string("missing ") + Name);
    if (!v.isString()) InvalidParams(std::string(Name) + " must be a string");
    return v.toString().toStdString();
  }

  void Value(int V) { Result.insert("Value", V); }
  void Value(const std::string& V) { Result.insert("Value", QString::fromStdString(V)); }
};

TJsonRpcSession::TFactory TJsonRpcSession::DefaultFactory() {
  return [] { return std::make_unique<THalden>(); };
}

TJsonRpcSession::TJsonRpcSession(TFactory Factory, TInvoker Invoker)
    : FFactory(std::move(Factory)), FInvoker(std::move(Invoker)) {}

TJsonRpcSession::~TJsonRpcSession() {
  try {
    ReleaseAll();
  } catch (...) {
    // The invoker could not reach the main thread any more; the objects
    // then end here.
  }
  FObjects.clear();
}

void TJsonRpcSession::ReleaseAll() {
  if (FObjects.empty()) return;
  auto objects = std::move(FObjects);
  FObjects.clear();
  FInvoker([&] { objects.clear(); });
}

IHalden& TJsonRpcSession::Object(TRequest& Request) {
  const int handle = Request.Int("object");
  auto found = FObjects.find(handle);
  if (found == FObjects.end()) InvalidParams("unknown object " + std::to_string(handle));
  return *found->second;
}

void TJsonRpcSession::Dispatch(TRequest& R) {
  const QString& m = R.Method;
  if (m == "Create") {
    if (R.Has("class")) {
      const QJsonValue name = R.Params.value("class");
      if (!name.isString()) InvalidParams("class must be a string");
      if (!KnownClass(name.toString()))
        InvalidParams("unknown class " + name.toString().toStdString());
    }
    if (FNextHandle == INT_MAX) throw ERpcError{JsonRpc::ServerError, "no more handles"};
    std::unique_ptr<IHalden> object;
    FInvoker([&] { object = FFactory(); });
    const int handle = FNextHandle++;
    FObjects.emplace(handle, std::move(object));
    R.Result.insert("object", handle);
    return;
  }
  if (m == "Release") {
    const int handle = R.Int("object");
    auto found = FObjects.find(handle);
    if (found == FObjects.end()) InvalidParams("unknown object " + std::to_string(handle));
    std::unique_ptr<IHalden> object = std::move(found->second);
    FObjects.erase(found);
    FInvoker([&] { object.reset(); });
    return;
  }

  // The members of IHalden. Parameters are read here, on the caller's
  // thread; only the call goes through the invoker.
  if (m == "OpenPort") {
    IHalden& o = Object(R);
    const int port = R.Int("PortNumber"), baud = R.Int("BaudRate"), timeout = R.Int("Timeout");
    int v = 0;
    FInvoker([&] { v = o.OpenPort(port, baud, timeout); });
    R.Value(v);
  } else if (m == "ClosePort" || m == "UnlockPort" || m == "AdminUnlockPorts" ||
             m == "ResultCode") {
    IHalden& o = Object(R);
    if (m == "ResultCode" && R.Has("Value")) InvalidParams("ResultCode is read-only");
    int v = 0;
    FInvoker([&] {
      v = m == "ClosePort"    ? o.ClosePort()
          : m == "UnlockPort" ? o.UnlockPort()
          : m == "ResultCode" ? o.ResultCode()
                              : o.AdminUnlockPorts();
    });
    R.Value(v);
  } else if (m == "SendData") {
    IHalden& o = Object(R);
    const int cmdTimeout = R.Int("CmdTimeout");
    const std::string txData = R.Text("TxData");
    int code = 0;
    std::string rx;
    FInvoker([&] { rx = o.SendData(cmdTimeout, txData, code); });
    R.Value(rx);
    R.Result.insert("ResultCode", code);
  } else if (m == "FileVersion" || m == "ResultDescription" || m == "GetComputerName" ||
             m == "RawAnswer" || m == "RawTxData") {
    IHalden& o = Object(R);
    if (m != "GetComputerName" && R.Has("Value")) InvalidParams(m.toStdString() + " is read-only");
    std::string v;
    FInvoker([&] {
      v = m == "FileVersion"         ? o.FileVersion()
          : m == "ResultDescription" ? o.ResultDescription()
          : m == "GetComputerName"   ? o.GetComputerName()
          : m == "RawAnswer"         ? o.RawAnswer()
                                     : o.RawTxData();
    });
    R.Value(v);
  } else if (m == "OpenCheck") {
    IHalden& o = Object(R);
    const int port = R.Int("PortNumber"), password = R.Int("Password");
    int v = 0;
    FInvoker([&] { v = o.OpenCheck(port, password); });
    R.Value(v);
  } else if (m == "CloseCheck" || m == "LockPort" || m == "AdminUnlockPort") {
    IHalden& o = Object(R);
    const int port = R.Int("PortNumber");
    int v = 0;
    FInvoker([&] {
      v = m == "CloseCheck" ? o.CloseCheck(port)
          : m == "LockPort" ? o.LockPort(port)
                            : o.AdminUnlockPort(port);
    });
    R.Value(v);
  } else if (m == "Connect") {
    IHalden& o = Object(R);
    const int pid = R.Int("AAppPID");
    const std::string app = R.Text("AAppName"), comp = R.Text("ACompName");
    int v = 0;
    FInvoker([&] { v = o.Connect(pid, app, comp); });
    R.Value(v);
  } else if (m == "ProtocolType") {
    IHalden& o = Object(R);
    if (R.Has("Value")) {
      const int value = R.Int("Value");
      FInvoker([&] { o.SetProtocolType(value); });
    } else {
      int v = 0;
      FInvoker([&] { v = o.ProtocolType(); });
      R.Value(v);
    }
  } else {
    throw ERpcError{JsonRpc::MethodNotFound, "Method not found: " + m.toStdString()};
  }
}

std::optional<std::string> TJsonRpcSession::Handle(std::string_view Line) {
  if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
  if (Line.find_first_not_of(" \t\r") == std::string_view::npos) return std::nullopt;

  const QByteArray bytes(Line.data(), static_cast<qsizetype>(Line.size()));
  QJsonParseError parseError{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    // Valid JSON that is neither an object nor an array (a number, a text)
    // is not a request; anything else is not JSON.
    const QJsonDocument wrapped = QJsonDocument::fromJson("[" + bytes + "]");
    if (wrapped.isArray() && wrapped.array().size() == 1)
      return ErrorResponse(QJsonValue::Null, JsonRpc::InvalidRequest,
                           "Invalid Request: not an object");
    return ErrorResponse(QJsonValue::Null, JsonRpc::ParseError,
                         "Parse error: " + parseError.errorString().toStdString());
  }
  if (doc.isArray())
    return ErrorResponse(QJsonValue::Null, JsonRpc::InvalidRequest,
                         "Invalid Request: batches are not served");

  const QJsonObject request = doc.object();
  const bool notification = !request.contains("id");
  const QJsonValue id = request.value("id");
  if (!notification && !id.isString() && !id.isDouble() && !id.isNull())
    return ErrorResponse(QJsonValue::Null, JsonRpc::InvalidRequest,
                         "Invalid Request: id must be a string, a number or null");
  const QJsonValue answerId = notification ? QJsonValue(QJsonValue::Null) : id;
  if (request.contains("jsonrpc") && request.value("jsonrpc") != QJsonValue("2.0"))
    return ErrorResponse(answerId, JsonRpc::InvalidRequest,
                         "Invalid Request: jsonrpc must be \"2.0\"");
  if (!request.value("method").isString())
    return ErrorResponse(answerId, JsonRpc::InvalidRequest,
                         "Invalid Request: method must be a string");

  TRequest r;
  r.Method = request.value("method").toString();
  try {
    const QJsonValue params = request.value("params");
    if (params.isArray()) InvalidParams("params must be named (an object)");
    if (!params.isUndefined() && !params.isObject())
      throw ERpcError{JsonRpc::InvalidRequest, "Invalid Request: params must be an object"};
    r.Params = params.toObject();
    Dispatch(r);
  } catch (const ERpcError& e) {
    // A notification gets no response, not even an error, unless the
    // request itself is malformed.
    if (notification && e.Code != JsonRpc::InvalidRequest) return std::nullopt;
    return ErrorResponse(answerId, e.Code, e.Message);
  } catch (const std::exception& e) {
    if (notification) return std::nullopt;
    return ErrorResponse(answerId, JsonRpc::ServerError, e.what());
  } catch (...) {
    if (notification) return std::nullopt;
    return ErrorResponse(answerId, JsonRpc::ServerError, _(S_UNKNOWNERROR));
  }
  if (notification) return std::nullopt;
  return ResultResponse(answerId, r.Result);
}
