// kktctl: a command-line tool for people who service KKTs.
//
//   kktctl send --port N [--baud CODE] [--timeout MS] [--protocol 0|1]
//               [--cmd-timeout MS] [--raw] HEX
//   kktctl send --server HOST[:PORT] --port N [the same options] HEX
//
// sends one command block to COMN through the link layer and prints the
// answer block and the device's error byte. With --server the same command
// goes through a running Halden (its TCP dispatcher, port 211 by default),
// which serves COMN on its own computer. Exit status: 0 for a completed
// exchange (whatever the device's error byte), 1 for a failure with a code,
// 2 for bad arguments.

#include <unistd.h>

#include <QJsonObject>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Version.h"
#include "common/logging/LogFile.h"
#include "common/text/Hex.h"
#include "common/text/Intl.h"
#include "halden/link/ComPort.h"
#include "halden/link/Link.h"
#include "halden/link/ProtocolFactory.h"
#include "halden/server/JsonRpcClient.h"

namespace {

struct TSendArgs {
  int Port = 0;
  int Baud = 6;
  int Timeout = 1000;
  int Protocol = 0;
  int CmdTimeout = 10000;
  bool ProtocolGiven = false;
  bool Raw = false;
  std::string Hex;
  std::string Server;  // HOST[:PORT] as given; empty: the local link
  std::string ServerHost;
  int ServerPort = 211;
};

void PrintUsage() {
  std::fputs(_("Использование:\n"
               "  kktctl send --port N [--baud КОД] [--timeout МС] [--protocol 0|1]\n"
               "              [--cmd-timeout МС] [--raw] HEX\n"
               "  kktctl send --server ХОСТ[:ПОРТ] --port N [те же ключи] HEX\n"
               "Отправляет блок команды (HEX, две цифры на байт) на порт COMN и печатает ответ.\n"
               "  --server ХОСТ[:ПОРТ]  через сервер Halden на этом компьютере\n"
               "                    (порт TCP по умолчанию 211); COMN - его порт\n"
               "  --port N          номер порта COM (обязателен)\n"
               "  --baud КОД        код скорости 0..9 (по умолчанию 6, 115200 бит/с)\n"
               "  --timeout МС      тайм-аут байта, мс (по умолчанию 1000)\n"
               "  --protocol 0|1    протокол обмена (по умолчанию 0)\n"
               "  --cmd-timeout МС  время выполнения команды, мс (по умолчанию 10000)\n"
               "  --raw             печатать также байты на линии (tx, rx)\n"),
             stderr);
}

std::optional<int> ParseInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  try {
    const int value = std::stoi(text, &used, 10);
    if (used != text.size()) return std::nullopt;
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Splits HOST[:PORT] ("[ADDRESS]:PORT" for an IPv6 address; an IPv6 address
// without brackets has no port).
bool ParseServer(TSendArgs& Args) {
  std::string host = Args.Server;
  std::string port;
  if (!host.empty() && host[0] == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string::npos) return false;
    const std::string rest = host.substr(close + 1);
    if (!rest.empty() && (rest[0] != ':' || rest.size() == 1)) return false;
    if (!rest.empty()) port = rest.substr(1);
    host = host.substr(1, close - 1);
  } else if (std::count(host.begin(), host.end(), ':') == 1) {
    const std::size_t colon = host.find(':');
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
    if (port.empty()) return false;
  }
  if (host.empty()) return false;
  if (!port.empty()) {
    const auto number = ParseInt(port);
    if (!number || *number < 1 || *number > 65535) return false;
    Args.ServerPort = *number;
  }
  Args.ServerHost = host;
  return true;
}

// Reads the arguments after "send"; prints what is wrong and returns nothing
// on a bad argument.
std::optional<TSendArgs> ParseSend(const std::vector<std::string>& args) {
  TSendArgs out;
  bool havePort = false;
  bool haveHex = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto number = [&](int& field, const char* name) {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, _("kktctl: у %s нет значения\n"), name);
        return false;
      }
      const auto v = ParseInt(args[++i]);
      if (!v) {
        std::fprintf(stderr, _("kktctl: %s: не целое число: %s\n"), name, args[i].c_str());
        return false;
      }
      field = *v;
      return true;
    };
    if (a == "--port") {
      if (!number(out.Port, "--port")) return std::nullopt;
      havePort = true;
    } else if (a == "--baud") {
      if (!number(out.Baud, "--baud")) return std::nullopt;
    } else if (a == "--timeout") {
      if (!number(out.Timeout, "--timeout")) return std::nullopt;
    } else if (a == "--protocol") {
      if (!number(out.Protocol, "--protocol")) return std::nullopt;
      out.ProtocolGiven = true;
      if (out.Protocol != 0 && out.Protocol != 1) {
        std::fprintf(stderr, _("kktctl: --protocol: допустимы 0 и 1\n"));
        return std::nullopt;
      }
    } else if (a == "--cmd-timeout") {
      if (!number(out.CmdTimeout, "--cmd-timeout")) return std::nullopt;
    } else if (a == "--server") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, _("kktctl: у %s нет значения\n"), "--server");
        return std::nullopt;
      }
      out.Server = args[++i];
      if (!ParseServer(out)) {
        std::fprintf(stderr,
                     _("kktctl: --server: нужно ХОСТ или ХОСТ:ПОРТ (ПОРТ от 1 до 65535): %s\n"),
                     out.Server.c_str());
        return std::nullopt;
      }
    } else if (a == "--raw") {
      out.Raw = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      std::fprintf(stderr, _("kktctl: неизвестный ключ: %s\n"), a.c_str());
      return std::nullopt;
    } else if (!haveHex) {
      out.Hex = a;
      haveHex = true;
    } else {
      std::fprintf(stderr, _("kktctl: лишний аргумент: %s\n"), a.c_str());
      return std::nullopt;
    }
  }
  if (!havePort || out.Port <= 0) {
    std::fprintf(stderr, _("kktctl: нужен номер порта (--port N, N > 0)\n"));
    return std::nullopt;
  }
  if (!haveHex) {
    std::fprintf(stderr, _("kktctl: нет блока команды (HEX)\n"));
    return std::nullopt;
  }
  return out;
}

int Fail(int code, const std::string& text) {
  std::fprintf(stderr, "error %d: %s\n", code, text.c_str());
  return 1;
}

int Send(const TSendArgs& args) {
  const auto block = varkon::HexDecodePairs(args.Hex);
  if (!block) return Fail(E_UNKNOWN, _(S_BADDATAFORMAT));

  auto params = std::make_shared<TConnectionParams>();
  params->ComNumber = args.Port;
  params->BaudRate = args.Baud;
  params->Timeout = args.Timeout;
  params->ProtocolType = args.Protocol;
  try {
    auto port = std::make_shared<TComPort>(params);
    auto protocol = ProtocolFactoryOf(args.Protocol).Instance(port, params);
    port->Open();
    TCommandRec command;
    command.Command = *block;
    command.Timeout = args.CmdTimeout;
    protocol->Send(command);
    if (args.Raw) {
      std::printf("tx: %s\n", varkon::HexLower(command.TxData).c_str());
      std::printf("rx: %s\n", varkon::HexLower(command.RxData).c_str());
    }
    std::printf("answer: %s\n", varkon::HexLower(command.Answer).c_str());
    std::printf("result: %d\n", AnswerResultCode(command.Answer));
    return 0;
  } catch (const EDriverError& e) {
    return Fail(e.ErrorCode(), e.what());
  } catch (const std::exception& e) {
    return Fail(E_UNKNOWN, e.what());
  }
}

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return {};
  const std::string result(name);
  return result.substr(0, result.find('.'));
}

// The same command through Halden: a server object of our own that connects,
// opens and locks the port, sends, and unlocks, closes and goes again.
int SendThroughServer(const TSendArgs& args) {
  if (!varkon::HexDecodePairs(args.Hex)) return Fail(E_UNKNOWN, _(S_BADDATAFORMAT));
  const auto noServer = [&](const std::string& reason) {
    char text[1024];
    std::snprintf(text, sizeof(text), _("Нет связи с сервером %s: %s"), args.Server.c_str(),
                  reason.c_str());
    return Fail(E_NOCONNECTION, text);
  };
  std::unique_ptr<TJsonRpcClient> rpc;
  try {
    rpc = std::make_unique<TJsonRpcClient>(args.ServerHost, args.ServerPort);
  } catch (const EJsonRpcConnection& e) {
    return noServer(e.what());
  }
  // A command may take its time and its retries on the line; a server that
  // stays silent far longer is gone.
  rpc->SetTimeout(static_cast<int>(std::min<long long>(
      INT_MAX, std::max(args.CmdTimeout, 0) + 4LL * std::max(args.Timeout, 0) + 60000)));
  int object = 0;
  const auto call = [&](const std::string& method, QJsonObject params = {}) {
    params.insert("object", object);
    return rpc->Call(method, params);
  };
  // A member that returns a code; a failure ends the command with it and
  // the object's ResultDescription.
  struct TFailed {
    int Code;
  };
  const auto check = [&](int code) {
    if (code == 0) return;
    const std::string text = call("ResultDescription").value("Value").toString().toStdString();
    Fail(code, text);
    throw TFailed{code};
  };
  try {
    object = rpc->Call("Create", {{"class", "HaldenLib.Halden"}}).value("object").toInt();
    try {
      check(call("Connect", {{"AAppPID", static_cast<int>(getpid())},
                             {"AAppName", "kktctl"},
                             {"ACompName", QString::fromStdString(ComputerName())}})
                .value("Value")
                .toInt());
      if (args.ProtocolGiven) call("ProtocolType", {{"Value", args.Protocol}});
      check(call("OpenPort",
                 {{"PortNumber", args.Port}, {"BaudRate", args.Baud}, {"Timeout", args.Timeout}})
                .value("Value")
                .toInt());
      check(call("LockPort", {{"PortNumber", args.Port}}).value("Value").toInt());
      const QJsonObject sent = call("SendData", {{"CmdTimeout", args.CmdTimeout},
                                                 {"TxData", QString::fromStdString(args.Hex)}});
      const int code = sent.value("ResultCode").toInt();
      // Below 0 the command failed; otherwise it is the device's error byte.
      if (code < 0) check(code);
      if (args.Raw) {
        std::printf("tx: %s\n", call("RawTxData").value("Value").toString().toUtf8().constData());
        std::printf("rx: %s\n", call("RawAnswer").value("Value").toString().toUtf8().constData());
      }
      std::printf("answer: %s\n", sent.value("Value").toString().toUtf8().constData());
      std::printf("result: %d\n", code);
      check(call("UnlockPort").value("Value").toInt());
      check(call("ClosePort").value("Value").toInt());
    } catch (const TFailed&) {
      try {
        call("Release");  // unlocks and closes what this object still holds
      } catch (const std::exception&) {
        // The connection's end releases it all the same.
      }
      return 1;
    }
    call("Release");
    return 0;
  } catch (const EJsonRpcError& e) {
    return Fail(e.Code(), e.what());
  } catch (const EJsonRpcConnection& e) {
    return noServer(e.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  varkon::InitCatalogue("kktctl");
  ConfigureLogFromEnvironment();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] != "send") {
    if (!args.empty() && args[0] == "--version") {
      std::printf("kktctl %s\n", VARKON_FILE_VERSION);
      return 0;
    }
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      PrintUsage();
      return 0;
    }
    PrintUsage();
    return 2;
  }
  const auto send = ParseSend({args.begin() + 1, args.end()});
  if (!send) {
    PrintUsage();
    return 2;
  }
  return send->Server.empty() ? Send(*send) : SendThroughServer(*send);
}
