// The server object on the real link: TComPort and the standard protocol on
// a pseudo-terminal, with a KKT on the master side that answers command
// blocks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <map>
#include <memory>

#include "PtyKkt.h"
#include "ServerFixture.h"
#include "Wait.h"
#include "common/text/Hex.h"
#include "halden/server/Halden.h"

namespace {

using varkon::HexSpaced;

// Code and error byte 0 for every command; the status request finds a receipt
// open (mode 8), the cancel succeeds.
std::optional<std::string> KktAnswer(const std::string& Command) {
  if (Command[0] == 0x11) return StatusAnswer(8);
  return Command.substr(0, 1) + std::string(1, '\0');
}

class HaldenOverPty : public ::testing::Test {
 protected:
  void Settings(bool AutoPortClose, bool AutoRecCancel, int CloseTimeout) {
    FPorts->ApplySettings({AutoPortClose, AutoRecCancel, CloseTimeout});
  }
  std::unique_ptr<THalden> Client(int PID, const std::string& App, const std::string& Comp) {
    auto client = std::make_unique<THalden>();
    client->Connect(PID, App, Comp);
    return client;
  }
  std::string Commands() {
    std::string result;
    for (const std::string& c : FKkt.Commands())
      result += (result.empty() ? "" : " | ") + HexSpaced(c);
    return result;
  }
  speed_t LineSpeed() {
    termios tio{};
    EXPECT_EQ(tcgetattr(FKkt.Device().SlaveFd(), &tio), 0);
    return cfgetospeed(&tio);
  }

  TPtyKkt FKkt{5, KktAnswer};
  TPrinterPortsLink FPorts;  // ports on the real link
};

// Two clients share one served port; the first open sets the line, the
// second one's settings are ignored; a lock does not stop another client's
// command; one client's ClosePort closes the line for both and the next
// command reopens it; the port ends with its last holder.
TEST_F(HaldenOverPty, TwoClientsShareOnePortUntilBothRelease) {
  auto first = Client(4120, "cash.exe", "POS1");
  auto second = Client(77, "other.exe", "POS2");
  ASSERT_EQ(first->OpenPort(5, 6, 100), 0) << first->ResultDescription();
  ASSERT_EQ(second->OpenPort(5, 2, 500), 0);
  EXPECT_EQ(first->Port(), second->Port());
  EXPECT_EQ(LineSpeed(), static_cast<speed_t>(B115200));
  EXPECT_EQ(first->Port()->Timeout(), 100);

  ASSERT_EQ(first->LockPort(5), 0);
  EXPECT_EQ(second->LockPort(5), -18);
  EXPECT_EQ(second->ResultDescription(), "Порт заблокирован POS1.4120.'cash.exe'");

  int code = -100;
  EXPECT_EQ(second->SendData(10000, "414243", code), "4100");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(second->RawTxData(), "020341424343");
  EXPECT_EQ(second->RawAnswer(), "0202410043");
  EXPECT_EQ(second->ResultDescription(), "");

  EXPECT_EQ(second->ClosePort(), 0);
  EXPECT_FALSE(first->Port()->Opened());
  EXPECT_EQ(first->SendData(10000, "10", code), "1000");
  EXPECT_TRUE(first->Port()->Opened());
  EXPECT_EQ(Commands(), "41 42 43 | 10");

  std::weak_ptr<TPrinterPort> port = FPorts->ItemByPortNumber(5);
  first.reset();
  EXPECT_FALSE(port.expired());
  EXPECT_EQ(second->LockPort(5), 0);  // the lock went with its holder
  second.reset();
  EXPECT_TRUE(port.expired());
  EXPECT_EQ(FPorts->Count(), 0);
}

struct TLineCase {
  const char* TxData;
  const char* Answer;  // the device's answer block
  int Code;
  const char* Frame;  // the frame on the line, or "" when nothing may be sent
};

// The decoding of TxData and the result code of the answer, on the line.
TEST_F(HaldenOverPty, HexAndResultCodesOnTheLine) {
  const TLineCase cases[] = {
      {"1e", "1E 00", 0, "02 01 1E 1F"},  {"1E", "1E 00", 0, "02 01 1E 1F"},
      {"123", "12 00", 0, "02 01 12 13"}, {"FF01", "FF 01 07", 7, "02 02 FF 01 FC"},
      {"11", "11 05", 5, "02 01 11 10"},  {"12", "11 00 1E", 0, "02 01 12 13"},
      {"13", "13", 0, "02 01 13 12"},     {"1G", "", -8, ""},
  };
  auto client = Client(1, "a", "A");
  ASSERT_EQ(client->OpenPort(5, 6, 100), 0) << client->ResultDescription();
  for (const TLineCase& c : cases) {
    SCOPED_TRACE(c.TxData);
    const std::string answer = HexBytes(c.Answer);
    FKkt.SetAnswer([answer](const std::string&) { return answer; });
    const size_t before = FKkt.Commands().size();
    int code = -100;
    const std::string rx = client->SendData(10000, c.TxData, code);
    EXPECT_EQ(code, c.Code);
    EXPECT_EQ(client->ResultCode(), c.Code);
    if (*c.Frame) {
      EXPECT_EQ(rx, varkon::HexLower(answer));
      EXPECT_EQ(HexSpaced(HexBytes(client->RawTxData())), c.Frame);
      EXPECT_EQ(FKkt.Commands().size(), before + 1);
    } else {
      EXPECT_EQ(rx, "");
      EXPECT_EQ(client->ResultDescription(), "Неверный формат данных");
      EXPECT_EQ(FKkt.Commands().size(), before);
    }
  }
}

// At the lock time-out the receipt reported open is cancelled on the device
// (status with the password, then the cancel), then the port is unlocked; a
// status request the device does not answer keeps the receipt flag, and the
// next firing asks again.
TEST_F(HaldenOverPty, LockTimeoutCancelsTheReceiptRetryingAFailedStatus) {
  int statusRequests = 0;
  FKkt.SetAnswer([&](const std::string& Command) -> std::optional<std::string> {
    if (Command[0] == 0x11 && ++statusRequests == 1) return std::nullopt;
    return KktAnswer(Command);
  });
  auto holder = Client(1, "a", "A");
  auto other = Client(2, "b", "B");
  ASSERT_EQ(holder->OpenPort(5, 6, 50), 0) << holder->ResultDescription();
  ASSERT_EQ(holder->LockPort(5), 0);
  ASSERT_EQ(holder->OpenCheck(5, 0x1E), 0);
  Settings(true, true, 40);
  EXPECT_TRUE(WaitFor([&] { return !holder->Port()->CheckOpened(); }));
  EXPECT_FALSE(holder->Port()->Locked());
  EXPECT_EQ(Commands(), "11 1E 00 00 00 | 11 1E 00 00 00 | 88 1E 00 00 00");
  EXPECT_EQ(holder->Port()->Status().ModeFr, 8);
  EXPECT_EQ(other->LockPort(5), 0);
  Settings(false, false, 40);
}

// A client that goes away under its lock with a receipt reported open has it
// cancelled at once; its lock goes and the line is closed.
TEST_F(HaldenOverPty, ObjectEndingUnderItsLockCancelsItsReceipt) {
  Settings(false, true, 10000);
  auto holder = Client(1, "a", "A");
  auto other = Client(2, "b", "B");
  ASSERT_EQ(holder->OpenPort(5, 6, 100), 0) << holder->ResultDescription();
  ASSERT_EQ(other->OpenPort(5, 6, 100), 0);
  ASSERT_EQ(holder->LockPort(5), 0);
  ASSERT_EQ(holder->OpenCheck(5, 30), 0);
  TPrinterPort* port = other->Port();
  holder.reset();
  EXPECT_EQ(Commands(), "11 1E 00 00 00 | 88 1E 00 00 00");
  EXPECT_FALSE(port->CheckOpened());
  EXPECT_FALSE(port->Locked());
  EXPECT_FALSE(port->Opened());
  EXPECT_EQ(other->LockPort(5), 0);
}

// The protocol type of the object that creates a port chooses its protocol:
// protocol 2 starts with its synchronisation frame (8F ...), which this
// standard-protocol device does not answer; an object that comes later with
// another type gets the same port.
TEST_F(HaldenOverPty, ProtocolTypeOfTheCreatorChoosesTheProtocol) {
  auto first = Client(1, "a", "A");
  auto second = Client(2, "b", "B");
  first->SetProtocolType(1);
  ASSERT_EQ(first->OpenPort(5, 6, 30), 0) << first->ResultDescription();
  ASSERT_EQ(second->OpenPort(5, 6, 30), 0);
  EXPECT_EQ(second->Port()->ProtocolType(), 1);
  int code = 0;
  EXPECT_EQ(second->SendData(200, "10", code), "");
  EXPECT_EQ(code, -1);
  EXPECT_EQ(second->ResultDescription(), "Нет связи");
  const std::string received = FKkt.Device().Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0], static_cast<char>(0x8F));
  EXPECT_TRUE(FKkt.Commands().empty());
}

// A device held by another program is -3, a missing one -2; either way the
// port stays closed, and once the device is free the same object opens it.
TEST_F(HaldenOverPty, FailedOpensLeaveThePortClosed) {
  auto client = Client(1, "a", "A");
  const int held = open(FKkt.Device().SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(client->OpenPort(5, 6, 100), -3);
  EXPECT_EQ(client->ResultCode(), -3);
  EXPECT_EQ(client->ResultDescription(), "СOM порт занят другим приложением");
  EXPECT_FALSE(client->Port()->Opened());
  int code = 0;
  EXPECT_EQ(client->SendData(10000, "10", code), "");
  EXPECT_EQ(code, -3);
  close(held);

  FKkt.Unplug();
  EXPECT_EQ(client->OpenPort(5, 6, 100), -2);
  EXPECT_EQ(client->ResultDescription(), "СOM порт недоступен");
  EXPECT_FALSE(client->Port()->Opened());

  FKkt.Plug();
  EXPECT_EQ(client->OpenPort(5, 6, 100), 0) << client->ResultDescription();
  EXPECT_EQ(client->SendData(10000, "10", code), "1000");
  EXPECT_EQ(FKkt.Commands().size(), 1u);
}

}  // namespace
