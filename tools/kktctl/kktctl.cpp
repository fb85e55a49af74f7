// kktctl: a command-line tool for people who service KKTs.
//
//   kktctl send --port N [--baud CODE] [--timeout MS] [--protocol 0|1]
//               [--cmd-timeout MS] [--raw] HEX
//
// sends one command block to COMN through the link layer and prints the
// answer block and the device's error byte. Exit status: 0 for a completed
// exchange (whatever the device's error byte), 1 for a failure with a code,
// 2 for bad arguments.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/logging/LogFile.h"
#include "common/text/Hex.h"
#include "common/text/Intl.h"
#include "Version.h"
#include "halden/link/ComPort.h"
#include "halden/link/Link.h"
#include "halden/link/ProtocolFactory.h"

namespace {

struct TSendArgs {
  int Port = 0;
  int Baud = 6;
  int Timeout = 1000;
  int Protocol = 0;
  int CmdTimeout = 10000;
  bool Raw = false;
  std::string Hex;
};

void PrintUsage() {
  std::fputs(_("Использование:\n"
               "  kktctl send --port N [--baud КОД] [--timeout МС] [--protocol 0|1]\n"
               "              [--cmd-timeout МС] [--raw] HEX\n"
               "Отправляет блок команды (HEX, две цифры на байт) на порт COMN и печатает ответ.\n"
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
      if (out.Protocol != 0 && out.Protocol != 1) {
        std::fprintf(stderr, _("kktctl: --protocol: допустимы 0 и 1\n"));
        return std::nullopt;
      }
    } else if (a == "--cmd-timeout") {
      if (!number(out.CmdTimeout, "--cmd-timeout")) return std::nullopt;
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
  return Send(*send);
}
