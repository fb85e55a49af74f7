// The request lines of Halden's TCP dispatcher on arbitrary bytes: the line
// cutter and the session's parser and dispatch, against server objects that
// keep a little state of their own. Every response must be one JSON-RPC 2.0
// response object on one line; nothing may crash, leak or read out of bounds.
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "halden/server/HaldenLib.h"
#include "halden/server/JsonRpc.h"

namespace {

int gLive = 0;

class TFuzzHalden : public IHalden {
 public:
  TFuzzHalden() { ++gLive; }
  ~TFuzzHalden() override { --gLive; }
  int OpenPort(int PortNumber, int, int) override { return FPort = PortNumber, 0; }
  int ClosePort() override { return 0; }
  std::string SendData(int, const std::string& TxData, int& ResultCode) override {
    if (TxData.size() % 7 == 3) throw std::runtime_error("Нет связи");
    ResultCode = static_cast<int>(TxData.size());
    FRaw = TxData;
    return TxData;
  }
  std::string FileVersion() override { return "1.0.0.1"; }
  std::string ResultDescription() override { return FRaw; }
  int OpenCheck(int, int) override { return 0; }
  int CloseCheck(int) override { return 0; }
  int Connect(int, const std::string& App, const std::string& Comp) override {
    FRaw = App + Comp;
    return 0;
  }
  std::string GetComputerName() override { return "POS1"; }
  int ResultCode() override { return FPort; }
  int LockPort(int PortNumber) override {
    if (PortNumber < 0) throw 1;
    return PortNumber == FPort ? 0 : -18;
  }
  int UnlockPort() override { return 0; }
  int AdminUnlockPort(int) override { return 0; }
  int AdminUnlockPorts() override { return 0; }
  int ProtocolType() override { return FProtocol; }
  void SetProtocolType(int Value) override { FProtocol = Value; }
  std::string RawAnswer() override { return FRaw; }
  std::string RawTxData() override { return FRaw; }

 private:
  int FPort = 0;
  int FProtocol = 0;
  std::string FRaw;
};

void CheckResponse(const std::string& Response) {
  if (Response.find('\n') != std::string::npos) std::abort();
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(Response), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) std::abort();
  const QJsonObject o = doc.object();
  if (o.value("jsonrpc") != QJsonValue("2.0") || !o.contains("id")) std::abort();
  if (o.contains("result") == o.contains("error")) std::abort();
  if (o.contains("error") && !o.value("error").toObject().value("code").isDouble()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  {
    TJsonRpcSession session([] { return std::make_unique<TFuzzHalden>(); });
    TJsonRpcLines lines;
    // The bytes arrive in chunks whose sizes come from the data itself.
    std::size_t pos = 0;
    while (pos < in.size() && !lines.TooLong()) {
      const std::size_t chunk = 1 + static_cast<unsigned char>(in[pos]) % 64;
      lines.Append(std::string_view(in).substr(pos, chunk));
      pos += chunk;
      while (const auto line = lines.Next()) {
        if (line->size() > JsonRpc::MaxLineLength) std::abort();
        if (const auto response = session.Handle(*line)) CheckResponse(*response);
      }
    }
    // The last line, even without its end.
    if (!lines.TooLong()) {
      lines.Append("\n");
      while (const auto line = lines.Next())
        if (const auto response = session.Handle(*line)) CheckResponse(*response);
    }
  }
  // The session's end released every object it made.
  if (gLive != 0) std::abort();
  return 0;
}
