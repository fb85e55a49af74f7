// The request checks and the dispatch of one connection, without sockets,
// against server objects that record their calls.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "halden/server/HaldenLib.h"
#include "halden/server/JsonRpc.h"

namespace {

// Calls into the objects, in order; and whether each ran inside the invoker.
struct TCallLog {
  std::vector<std::string> Calls;
  bool InInvoker = false;
  int OutsideInvoker = 0;
  int Live = 0;

  void Add(const std::string& Call) {
    Calls.push_back(Call);
    if (!InInvoker) ++OutsideInvoker;
  }
};

class TRecordingHalden : public IHalden {
 public:
  TRecordingHalden(TCallLog& Log, int Number) : FLog(Log), FNumber(Number) {
    ++FLog.Live;
    Add("new");
  }
  ~TRecordingHalden() override {
    --FLog.Live;
    Add("delete");
  }

  int OpenPort(int P, int B, int T) override {
    return Add("OpenPort(" + Ints({P, B, T}) + ")", P == 13 ? -2 : 0);
  }
  int ClosePort() override { return Add("ClosePort()"); }
  std::string SendData(int CmdTimeout, const std::string& TxData, int& ResultCode) override {
    Add("SendData(" + std::to_string(CmdTimeout) + "," + TxData + ")");
    if (TxData == "throw") throw std::runtime_error("Сбой");
    ResultCode = 5;
    return "4105";
  }
  std::string FileVersion() override { return Text("FileVersion()", "1.0.0.1"); }
  std::string ResultDescription() override { return Text("ResultDescription()", "Ошибок нет"); }
  int OpenCheck(int P, int Pw) override { return Add("OpenCheck(" + Ints({P, Pw}) + ")"); }
  int CloseCheck(int P) override { return Add("CloseCheck(" + Ints({P}) + ")"); }
  int Connect(int Pid, const std::string& App, const std::string& Comp) override {
    return Add("Connect(" + Ints({Pid}) + "," + App + "," + Comp + ")");
  }
  std::string GetComputerName() override { return Text("GetComputerName()", "POS1"); }
  int ResultCode() override { return Add("ResultCode()", -3); }
  int LockPort(int P) override {
    if (P == 66) throw 42;  // not even a std::exception
    return Add("LockPort(" + Ints({P}) + ")", P == 4 ? -18 : 0);
  }
  int UnlockPort() override { return Add("UnlockPort()"); }
  int AdminUnlockPort(int P) override { return Add("AdminUnlockPort(" + Ints({P}) + ")"); }
  int AdminUnlockPorts() override { return Add("AdminUnlockPorts()"); }
  int ProtocolType() override { return Add("ProtocolType()", FProtocolType); }
  void SetProtocolType(int V) override {
    Add("SetProtocolType(" + Ints({V}) + ")");
    FProtocolType = V;
  }
  std::string RawAnswer() override { return Text("RawAnswer()", "06020241054"); }
  std::string RawTxData() override { return Text("RawTxData()", "0203414243"); }

 private:
  static std::string Ints(std::initializer_list<int> Values) {
    std::string out;
    for (int v : Values) out += (out.empty() ? "" : ",") + std::to_string(v);
    return out;
  }
  int Add(const std::string& Call, int Result = 0) {
    FLog.Add("#" + std::to_string(FNumber) + " " + Call);
    return Result;
  }
  std::string Text(const std::string& Call, const std::string& Result) {
    Add(Call);
    return Result;
  }

  TCallLog& FLog;
  const int FNumber;
  int FProtocolType = 0;
};

class JsonRpcSession : public ::testing::Test {
 protected:
  JsonRpcSession()
      : FSession([this] { return std::make_unique<TRecordingHalden>(FLog, ++FCreated); },
                 [this](const std::function<void()>& Call) {
                   ++FInvocations;
                   FLog.InInvoker = true;
                   try {
                     Call();
                   } catch (...) {
                     FLog.InInvoker = false;
                     throw;
                   }
                   FLog.InInvoker = false;
                 }) {}

  // The response to a line, which must come.
  std::string Call(const std::string& Line) {
    auto response = FSession.Handle(Line);
    EXPECT_TRUE(response.has_value()) << Line;
    return response.value_or("");
  }
  // The handle of a new object.
  int Create() {
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(Call(
        R"({"jsonrpc":"2.0","id":0,"method":"Create","params":{"class":"HaldenLib.Halden"}})")));
    return doc.object().value("result").toObject().value("object").toInt(-1);
  }

  TCallLog FLog;
  int FCreated = 0;
  int FInvocations = 0;
  TJsonRpcSession FSession;
};

std::string Request(int Id, const std::string& Method, const std::string& Params) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(Id) + R"(,"method":")" + Method +
         R"(","params":)" + Params + "}";
}

TEST_F(JsonRpcSession, EveryMemberIsCalledByItsNameWithItsParameterNames) {
  ASSERT_EQ(Create(), 1);
  struct TCase {
    std::string Method, Params, Call, Result;
  };
  const std::vector<TCase> cases = {
      {"OpenPort", R"({"object":1,"PortNumber":3,"BaudRate":6,"Timeout":1000})",
       "OpenPort(3,6,1000)", R"({"Value":0})"},
      {"OpenPort", R"({"object":1,"PortNumber":13,"BaudRate":6,"Timeout":1000})",
       "OpenPort(13,6,1000)", R"({"Value":-2})"},
      {"ClosePort", R"({"object":1})", "ClosePort()", R"({"Value":0})"},
      {"SendData", R"({"object":1,"CmdTimeout":10000,"TxData":"414243"})", "SendData(10000,414243)",
       R"({"ResultCode":5,"Value":"4105"})"},
      {"FileVersion", R"({"object":1})", "FileVersion()", R"({"Value":"1.0.0.1"})"},
      {"ResultDescription", R"({"object":1})", "ResultDescription()", R"({"Value":"Ошибок нет"})"},
      {"OpenCheck", R"({"object":1,"PortNumber":3,"Password":30})", "OpenCheck(3,30)",
       R"({"Value":0})"},
      {"CloseCheck", R"({"object":1,"PortNumber":3})", "CloseCheck(3)", R"({"Value":0})"},
      {"Connect", R"({"object":1,"AAppPID":4120,"AAppName":"cash.exe","ACompName":"POS1"})",
       "Connect(4120,cash.exe,POS1)", R"({"Value":0})"},
      {"GetComputerName", R"({"object":1})", "GetComputerName()", R"({"Value":"POS1"})"},
      {"ResultCode", R"({"object":1})", "ResultCode()", R"({"Value":-3})"},
      {"LockPort", R"({"object":1,"PortNumber":4})", "LockPort(4)", R"({"Value":-18})"},
      {"UnlockPort", R"({"object":1})", "UnlockPort()", R"({"Value":0})"},
      {"AdminUnlockPort", R"({"object":1,"PortNumber":9})", "AdminUnlockPort(9)", R"({"Value":0})"},
      {"AdminUnlockPorts", R"({"object":1})", "AdminUnlockPorts()", R"({"Value":0})"},
      {"ProtocolType", R"({"object":1,"Value":1})", "SetProtocolType(1)", R"({})"},
      {"ProtocolType", R"({"object":1})", "ProtocolType()", R"({"Value":1})"},
      {"RawAnswer", R"({"object":1})", "RawAnswer()", R"({"Value":"06020241054"})"},
      {"RawTxData", R"({"object":1})", "RawTxData()", R"({"Value":"0203414243"})"},
  };
  int id = 10;
  for (const auto& c : cases) {
    FLog.Calls.clear();
    const std::string response = Call(Request(++id, c.Method, c.Params));
    EXPECT_EQ(response,
              R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"result":)" + c.Result + "}")
        << c.Method;
    EXPECT_EQ(FLog.Calls, std::vector<std::string>{"#1 " + c.Call}) << c.Method;
  }
  EXPECT_EQ(FLog.OutsideInvoker, 0);
}

TEST_F(JsonRpcSession, ObjectsLiveUnderTheirHandlesUntilReleasedOrTheSessionEnds) {
  const int a = Create();
  const int b = Create();
  const int c = Create();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(FLog.Live, 3);
  EXPECT_EQ(Call(Request(7, "Release", R"({"object":2})")),
            R"({"jsonrpc":"2.0","id":7,"result":{}})");
  EXPECT_EQ(FLog.Live, 2);
  // A released handle is unknown from now on, and is not given out again.
  EXPECT_NE(Call(Request(8, "ClosePort", R"({"object":2})")).find("\"code\":-32602"),
            std::string::npos);
  EXPECT_EQ(Create(), 4);
  // The calls reach the object of their handle.
  FLog.Calls.clear();
  Call(Request(9, "ClosePort", R"({"object":3})"));
  EXPECT_EQ(FLog.Calls, std::vector<std::string>{"#3 ClosePort()"});

  FSession.ReleaseAll();
  EXPECT_EQ(FLog.Live, 0);
  EXPECT_EQ(FSession.ObjectCount(), 0);
  EXPECT_EQ(FLog.OutsideInvoker, 0);
}

TEST_F(JsonRpcSession, CreateAcceptsTheProgIdOrTheClassGuidOrNoClass) {
  const std::string guid = HaldenLib::CLASS_Halden;
  const std::string bare = guid.substr(1, guid.size() - 2);
  const std::vector<std::string> accepted = {
      R"({"class":"HaldenLib.Halden"})",
      R"({"class":"haldenlib.halden"})",
      R"({"class":")" + guid + "\"}",
      R"({"class":")" + bare + "\"}",
      "{}",
  };
  for (const auto& params : accepted)
    EXPECT_NE(Call(Request(1, "Create", params)).find("\"result\":{\"object\":"), std::string::npos)
        << params;
  EXPECT_EQ(R"({"jsonrpc":"2.0","id":1,"result":{"object":6}})",
            Call(R"({"jsonrpc":"2.0","id":1,"method":"Create"})"));
  const std::vector<std::string> refused = {R"({"class":"Tessel.Driver"})", R"({"class":3})"};
  for (const auto& params : refused)
    EXPECT_NE(Call(Request(1, "Create", params)).find("\"code\":-32602"), std::string::npos)
        << params;
  EXPECT_EQ(FLog.Live, 6);
}

// The code of the error response to a line, or 0 for a result.
int ErrorCode(const std::string& Response) {
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(Response)).object();
  return o.value("error").toObject().value("code").toInt(0);
}

TEST_F(JsonRpcSession, MalformedRequestsGetTheirErrorCode) {
  ASSERT_EQ(Create(), 1);
  struct TCase {
    std::string Line;
    int Code;
  };
  const std::vector<TCase> cases = {
      {"{", JsonRpc::ParseError},
      {"OpenPort 3", JsonRpc::ParseError},
      {R"({"id":1,"method":"ClosePort"} trailing)", JsonRpc::ParseError},
      {"\xff\xfe", JsonRpc::ParseError},
      {"[]", JsonRpc::InvalidRequest},
      {R"([{"id":1,"method":"ClosePort","params":{"object":1}}])", JsonRpc::InvalidRequest},
      {"42", JsonRpc::InvalidRequest},
      {R"("text")", JsonRpc::InvalidRequest},
      {R"({"id":1})", JsonRpc::InvalidRequest},
      {R"({"id":1,"method":7})", JsonRpc::InvalidRequest},
      {R"({"id":{},"method":"ClosePort"})", JsonRpc::InvalidRequest},
      {R"({"id":1,"jsonrpc":"1.0","method":"ClosePort","params":{"object":1}})",
       JsonRpc::InvalidRequest},
      {R"({"id":1,"method":"ClosePort","params":"object"})", JsonRpc::InvalidRequest},
      {R"({"id":1,"method":"Shutdown","params":{"object":1}})", JsonRpc::MethodNotFound},
      {R"({"id":1,"method":"closeport","params":{"object":1}})", JsonRpc::MethodNotFound},
      {R"({"id":1,"method":"ClosePort","params":[1]})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"ClosePort"})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"ClosePort","params":{"object":99}})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"ClosePort","params":{"object":"1"}})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1}})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1,"PortNumber":2.5}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1,"PortNumber":2147483648}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1,"PortNumber":-2147483649}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1,"PortNumber":true}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"LockPort","params":{"object":1,"PortNumber":null}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"SendData","params":{"object":1,"CmdTimeout":1,"TxData":4142}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"Connect","params":{"object":1,"AAppPID":1,"AAppName":"a"}})",
       JsonRpc::InvalidParams},
      {R"({"id":1,"method":"ResultCode","params":{"object":1,"Value":0}})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"RawAnswer","params":{"object":1,"Value":""}})", JsonRpc::InvalidParams},
      {R"({"id":1,"method":"ProtocolType","params":{"object":1,"Value":"1"}})",
       JsonRpc::InvalidParams},
  };
  FLog.Calls.clear();
  for (const auto& c : cases) {
    const auto response = FSession.Handle(c.Line);
    ASSERT_TRUE(response.has_value()) << c.Line;
    EXPECT_EQ(ErrorCode(*response), c.Code) << c.Line << " -> " << *response;
    EXPECT_NE(response->find("\"jsonrpc\":\"2.0\""), std::string::npos);
  }
  // None of them reached the object.
  EXPECT_EQ(FLog.Calls, std::vector<std::string>{});
  // The session stays usable.
  EXPECT_EQ(Call(Request(3, "ClosePort", R"({"object":1})")),
            R"({"jsonrpc":"2.0","id":3,"result":{"Value":0}})");
}

TEST_F(JsonRpcSession, ErrorsCarryTheRequestIdWhereItCouldBeRead) {
  EXPECT_EQ(Call("{"),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: )"
            R"(unterminated object"}})");
  EXPECT_EQ(
      Call(R"({"id":"a1","method":"Nope"})"),
      R"({"jsonrpc":"2.0","id":"a1","error":{"code":-32601,"message":"Method not found: Nope"}})");
  EXPECT_EQ(Call(R"({"id":null,"method":"ClosePort","params":{"object":5}})"),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32602,"message":"Invalid params: )"
            R"(unknown object 5"}})");
}

TEST_F(JsonRpcSession, IntegersAtTheEdgesOfI4AreAccepted) {
  ASSERT_EQ(Create(), 1);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2147483647", "2147483647"}, {"-2147483648", "-2147483648"}, {"3.0", "3"}, {"1e2", "100"}};
  for (const auto& [json, value] : cases) {
    FLog.Calls.clear();
    Call(Request(1, "LockPort", R"({"object":1,"PortNumber":)" + json + "}"));
    EXPECT_EQ(FLog.Calls, std::vector<std::string>{"#1 LockPort(" + value + ")"}) << json;
  }
}

TEST_F(JsonRpcSession, NotificationsAreCarriedOutWithoutAResponse) {
  ASSERT_EQ(Create(), 1);
  FLog.Calls.clear();
  EXPECT_FALSE(FSession.Handle(
      R"({"jsonrpc":"2.0","method":"LockPort","params":{"object":1,"PortNumber":3}})"));
  EXPECT_EQ(FLog.Calls, std::vector<std::string>{"#1 LockPort(3)"});
  // Not even a failed one answers.
  EXPECT_FALSE(FSession.Handle(R"({"method":"Nope"})"));
  EXPECT_FALSE(FSession.Handle(R"({"method":"LockPort","params":{"object":9,"PortNumber":3}})"));
  EXPECT_FALSE(FSession.Handle(R"({"method":"LockPort","params":{"object":1,"PortNumber":66}})"));
  // A notification creates an object too (its handle is not known to the
  // client, but the object lives until the session ends).
  EXPECT_FALSE(FSession.Handle(R"({"method":"Create"})"));
  EXPECT_EQ(FLog.Live, 2);
  // The version may be left out.
  EXPECT_EQ(Call(R"({"id":2,"method":"UnlockPort","params":{"object":1}})"),
            R"({"jsonrpc":"2.0","id":2,"result":{"Value":0}})");
  // Blank lines are skipped, a final CR is dropped.
  EXPECT_FALSE(FSession.Handle(""));
  EXPECT_FALSE(FSession.Handle(" \t\r"));
  EXPECT_EQ(Call(std::string(R"({"id":3,"method":"UnlockPort","params":{"object":1}})") + "\r"),
            R"({"jsonrpc":"2.0","id":3,"result":{"Value":0}})");
}

TEST_F(JsonRpcSession, AnExceptionThatEscapesAMemberIsAServerErrorWithItsText) {
  ASSERT_EQ(Create(), 1);
  EXPECT_EQ(Call(Request(4, "SendData", R"({"object":1,"CmdTimeout":1,"TxData":"throw"})")),
            R"({"jsonrpc":"2.0","id":4,"error":{"code":-32000,"message":"Сбой"}})");
  EXPECT_EQ(ErrorCode(Call(Request(5, "LockPort", R"({"object":1,"PortNumber":66})"))),
            JsonRpc::ServerError);
  // The object is still there.
  EXPECT_EQ(Call(Request(6, "ClosePort", R"({"object":1})")),
            R"({"jsonrpc":"2.0","id":6,"result":{"Value":0}})");
}

TEST(JsonRpcLimits, ALineTooLongIsAnInvalidRequest) {
  EXPECT_EQ(JsonRpc::LineTooLongResponse(),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid Request: )"
            R"(line longer than 1 MiB"}})");
}

TEST(JsonRpcSessionEnd, ObjectsStillHeldAreReleasedThroughTheInvoker) {
  TCallLog log;
  int invocations = 0;
  {
    TJsonRpcSession session([&] { return std::make_unique<TRecordingHalden>(log, 1); },
                            [&](const std::function<void()>& Call) {
                              ++invocations;
                              log.InInvoker = true;
                              Call();
                              log.InInvoker = false;
                            });
    session.Handle(R"({"id":1,"method":"Create"})");
    session.Handle(R"({"id":2,"method":"Create"})");
    EXPECT_EQ(log.Live, 2);
  }
  EXPECT_EQ(log.Live, 0);
  EXPECT_EQ(log.OutsideInvoker, 0);
  EXPECT_EQ(invocations, 3);  // two creations, one release of both
}

}  // namespace

namespace {

// The lines that come out of the chunks, and whether the limit was passed.
std::pair<std::vector<std::string>, bool> Cut(const std::vector<std::string>& Chunks) {
  TJsonRpcLines lines;
  std::vector<std::string> out;
  for (const auto& chunk : Chunks) {
    lines.Append(chunk);
    while (auto line = lines.Next()) out.push_back(*line);
  }
  return {out, lines.TooLong()};
}

TEST(JsonRpcLines, BytesAreCutIntoLinesWhateverTheChunks) {
  using TLines = std::vector<std::string>;
  EXPECT_EQ(Cut({"a\nb\n"}), std::make_pair(TLines{"a", "b"}, false));
  EXPECT_EQ(Cut({"a", "b\n", "\nc"}), std::make_pair(TLines{"ab", ""}, false));
  EXPECT_EQ(Cut({"x\r\n"}), std::make_pair(TLines{"x\r"}, false));
  const std::string atLimit(JsonRpc::MaxLineLength, 'x');
  EXPECT_EQ(Cut({atLimit.substr(0, 1000), atLimit.substr(1000) + "\n"}),
            std::make_pair(TLines{atLimit}, false));
  // One byte more is refused, with or without its end, and nothing after it
  // comes out.
  EXPECT_EQ(Cut({"a\n" + atLimit + "y\nb\n"}), std::make_pair(TLines{"a"}, true));
  EXPECT_EQ(Cut({"a\n" + atLimit, "y"}), std::make_pair(TLines{"a"}, true));
}

}  // namespace
