// The answer readers of both link protocols on arbitrary bytes from the
// device, through a scripted port that times out at the end of the data: no
// crash, no hang, no read past the data, an answer is delivered only from
// bytes that really came, and only as the intact frame that carried it.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/text/Crc.h"
#include "halden/link/PrinterProtocol.h"
#include "halden/link/PrinterProtocol2.h"
#include "tests/support/FakeSerialPort.h"

namespace {

// The standard protocol's frame of a block.
std::string StdFrame(const std::string& Data) {
  char lrc = static_cast<char>(Data.size());
  for (char c : Data) lrc ^= c;
  std::string frame(1, '\x02');
  frame.push_back(static_cast<char>(Data.size()));
  frame.append(Data);
  frame.push_back(lrc);
  return frame;
}

void AppendWord(std::string& To, unsigned Value) {
  To.push_back(static_cast<char>(Value & 0xFF));
  To.push_back(static_cast<char>((Value >> 8) & 0xFF));
}

// Protocol 2's frame of a block under Number, stuffed: the only raw form of it.
std::string P2Frame(unsigned Number, const std::string& Data) {
  std::string body;
  AppendWord(body, static_cast<unsigned>(Data.size()) + 2);
  AppendWord(body, Number);
  body += Data;
  AppendWord(body, varkon::Crc16Ccitt(body));
  std::string frame(1, '\x8F');
  for (char c : body) {
    if (c == '\x8F')
      frame += "\x9F\x81";
    else if (c == '\x9F')
      frame += "\x9F\x83";
    else
      frame += c;
  }
  return frame;
}

bool EndsWith(const std::string& Text, const std::string& Tail) {
  return Text.size() >= Tail.size() &&
         Text.compare(Text.size() - Tail.size(), Tail.size(), Tail) == 0;
}

// Runs one command; aborts on anything but a link failure. FrameOf gives the
// raw frame that must have carried a delivered answer.
void Exchange(IPrinterProtocol& Protocol, std::string_view Received,
              const std::function<std::string(const std::string&)>& FrameOf) {
  TCommandRec rec;
  rec.Command = "\x11";
  rec.Timeout = 10;
  try {
    Protocol.Send(rec);
  } catch (const EDriverError&) {
    return;
  } catch (const std::logic_error&) {
    std::abort();  // the protocol kept reading after the data ended
  }
  // What was delivered came from the line, in order.
  std::size_t pos = 0;
  for (char c : rec.RxData) {
    pos = Received.find(c, pos);
    if (pos == std::string_view::npos) std::abort();
    ++pos;
  }
  if (!EndsWith(rec.RxData, FrameOf(rec.Answer))) std::abort();
}

// A valid synchronisation answer numbered 0.
std::string SyncAnswer() {
  std::string body("\x02\x00\x00\x00", 4);
  const std::uint16_t crc = varkon::Crc16Ccitt(body);
  body.push_back(static_cast<char>(crc & 0xFF));
  body.push_back(static_cast<char>(crc >> 8));
  return "\x8F" + body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  auto params = std::make_shared<TConnectionParams>();
  params->Timeout = 10;
  // Every protocol step reads a bounded number of bytes after the data ended.
  const long limit = static_cast<long>(size) * 2 + 4 * TPrinterProtocol2::MaxHuntBytes + 200;

  {  // Standard protocol: the device is ready, acknowledges, then sends the data.
    auto port = std::make_shared<FakeSerialPort>();
    port->SetReadLimit(limit);
    port->OnWrite("15");
    port->OnWriteBytes("\x06" + in);
    TPrinterProtocol protocol(port, params);
    Exchange(protocol, "\x06" + in, StdFrame);
  }
  {  // Protocol 2: the data answer the synchronisation frame.
    auto port = std::make_shared<FakeSerialPort>();
    port->SetReadLimit(limit);
    port->OnWriteBytes(in);
    TPrinterProtocol2 protocol(port, params);
    Exchange(protocol, in, [&](const std::string& Answer) {
      return P2Frame(static_cast<std::uint16_t>(protocol.FrameNumber() - 1), Answer);
    });
  }
  {  // Protocol 2: synchronised on 0, the data answer the command frame 1.
    auto port = std::make_shared<FakeSerialPort>();
    port->SetReadLimit(limit);
    port->OnWriteBytes(SyncAnswer());
    port->OnWriteBytes(in);
    TPrinterProtocol2 protocol(port, params);
    Exchange(protocol, SyncAnswer() + in, [&](const std::string& Answer) {
      return P2Frame(static_cast<std::uint16_t>(protocol.FrameNumber() - 1), Answer);
    });
  }
  return 0;
}
