// The server object against fake lines: the states of the link that a
// pseudo-terminal does not readily give (ports that fail to open in each way,
// lost answers at a chosen command) and the object's own rules.

#include "halden/server/Halden.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <regex>

#include "ServerFixture.h"
#include "Version.h"
#include "Wait.h"
#include "common/text/Hex.h"

namespace {

using varkon::HexSpaced;

// Answers every command with its code and error byte 0, and the status
// request with mode 8.
std::string EchoDevice(const std::string& Command) {
  if (!Command.empty() && Command[0] == 0x11) return StatusAnswer(8);
  return Command.substr(0, 1) + std::string(1, '\0');
}

class HaldenTest : public FakeServerTest {
 protected:
  HaldenTest() { FLines.Line(3).Device = EchoDevice; }

  std::unique_ptr<THalden> Client(int PID, const std::string& App, const std::string& Comp) {
    auto client = std::make_unique<THalden>();
    client->Connect(PID, App, Comp);
    return client;
  }
};

TEST_F(HaldenTest, SendDataBeforeAnyPortCallAnswersNothing) {
  THalden client;
  int code = -100;
  EXPECT_EQ(client.SendData(1000, "zz", code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(client.ResultCode(), 0);
  EXPECT_EQ(client.ResultDescription(), "Ошибок нет");
  EXPECT_EQ(FPorts->Count(), 0);
}

struct THexCase {
  const char* Name;
  const char* TxData;
  int Code;
  const char* Sent;  // hex of the block the device got, or nullptr: nothing sent
};
void PrintTo(const THexCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class HaldenHexTest : public HaldenTest, public ::testing::WithParamInterface<THexCase> {};

// Pairs of digits in either case; a final odd digit is dropped; anything else
// in a pair is -8 and reaches no device.
TEST_P(HaldenHexTest, DecodesTxDataStrictly) {
  const THexCase& c = GetParam();
  THalden client;
  ASSERT_EQ(client.OpenPort(3, 2, 100), 0);
  int code = -100;
  const std::string answer = client.SendData(1000, c.TxData, code);
  EXPECT_EQ(code, c.Code);
  EXPECT_EQ(client.ResultCode(), c.Code);
  if (c.Sent) {
    ASSERT_EQ(FLines.Line(3).Commands.size(), 1u);
    EXPECT_EQ(HexSpaced(FLines.Line(3).Commands[0]), c.Sent);
    EXPECT_EQ(answer, varkon::HexLower(EchoDevice(FLines.Line(3).Commands[0])));
    EXPECT_EQ(client.ResultDescription(), "");
  } else {
    EXPECT_TRUE(FLines.Line(3).Commands.empty());
    EXPECT_EQ(answer, "");
    EXPECT_EQ(client.ResultDescription(), "Неверный формат данных");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HaldenHexTest,
                         ::testing::Values(THexCase{"Lower", "1e", 0, "1E"},
                                           THexCase{"Upper", "1E", 0, "1E"},
                                           THexCase{"OddDigitDropped", "123", 0, "12"},
                                           THexCase{"MixedCase", "aBcD", 0, "AB CD"},
                                           THexCase{"NotADigit", "1G", -8, nullptr},
                                           THexCase{"Separator", "12 34", -8, nullptr},
                                           THexCase{"SignInPair", "+1", -8, nullptr}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TAnswerCase {
  const char* Name;
  const char* Answer;
  int Code;
};
void PrintTo(const TAnswerCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class HaldenAnswerTest : public HaldenTest, public ::testing::WithParamInterface<TAnswerCase> {};

// The result code is the device's error byte, after a one- or two-byte
// command code; the answer comes back in lower case.
TEST_P(HaldenAnswerTest, ResultCodeIsTheErrorByteOfTheAnswer) {
  const std::string answer = HexBytes(GetParam().Answer);
  FLines.Line(3).Device = [&](const std::string&) { return answer; };
  THalden client;
  ASSERT_EQ(client.OpenPort(3, 2, 100), 0);
  int code = -100;
  EXPECT_EQ(client.SendData(1000, "FF01", code), varkon::HexLower(answer));
  EXPECT_EQ(code, GetParam().Code);
  EXPECT_EQ(client.ResultCode(), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Cases, HaldenAnswerTest,
                         ::testing::Values(TAnswerCase{"TwoByteCode", "FF 01 07", 7},
                                           TAnswerCase{"OneByteCode", "11 05", 5},
                                           TAnswerCase{"Success", "11 00 1E", 0},
                                           TAnswerCase{"OneByte", "11", 0},
                                           TAnswerCase{"TwoByteCodeOnly", "FF 01", 0},
                                           TAnswerCase{"UpperDigits", "AB CD EF", 0xCD}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(HaldenTest, RawDataFollowOnlySuccessfulCommands) {
  THalden client;
  EXPECT_EQ(client.RawAnswer(), "");
  EXPECT_EQ(client.RawTxData(), "");
  ASSERT_EQ(client.OpenPort(3, 2, 100), 0);
  int code = 0;
  client.SendData(1000, "AB", code);
  EXPECT_EQ(client.RawTxData(), varkon::HexLower(FakeFrame("\xAB")));
  EXPECT_EQ(client.RawAnswer(), varkon::HexLower("\x06" + FakeFrame(HexBytes("AB 00"))));

  FLines.Line(3).Device = [](const std::string&) -> std::string {
    RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  };
  EXPECT_EQ(client.SendData(1000, "CD", code), "");
  EXPECT_EQ(code, -1);
  EXPECT_EQ(client.ResultCode(), -1);
  EXPECT_EQ(client.ResultDescription(), "Нет связи");
  EXPECT_EQ(client.RawTxData(), varkon::HexLower(FakeFrame("\xAB")));
}

// Methods that succeed say so in ResultDescription but leave ResultCode
// alone; so does a lock conflict, with its own text.
TEST_F(HaldenTest, SuccessAndLockConflictLeaveTheResultCode) {
  auto holder = Client(4120, "cash.exe", "POS1");
  auto other = Client(77, "other.exe", "POS2");
  ASSERT_EQ(holder->LockPort(3), 0);
  other->SetProtocolType(1);
  ASSERT_EQ(other->OpenPort(3, 2, 100), 0);
  FLines.Line(3).Device = [](const std::string&) -> std::string {
    RaiseError(E_NOCONNECTION, S_NOCONNECTION);
  };
  int code = 0;
  other->SendData(1000, "10", code);  // the lock does not stop a command
  ASSERT_EQ(other->ResultCode(), -1);
  EXPECT_EQ(FLines.Line(3).Commands.size(), 1u);

  EXPECT_EQ(other->LockPort(3), -18);
  EXPECT_EQ(other->ResultDescription(), "Порт заблокирован POS1.4120.'cash.exe'");
  EXPECT_EQ(other->ResultCode(), -1);
  EXPECT_EQ(other->OpenCheck(3, 30), 0);
  EXPECT_EQ(other->ResultDescription(), "Ошибок нет");
  EXPECT_EQ(other->ResultCode(), -1);
  EXPECT_EQ(other->ProtocolType(), 1);
  EXPECT_EQ(FLines.Line(3).ProtocolType, 0);  // the port was made by the holder
}

TEST_F(HaldenTest, LockConflictAndUnlocks) {
  auto holder = Client(4120, "cash.exe", "POS1");
  auto other = Client(77, "other.exe", "POS2");
  ASSERT_EQ(holder->LockPort(3), 0);
  TPrinterPort& port = *holder->Port();

  EXPECT_EQ(other->LockPort(3), -18);
  EXPECT_EQ(other->ResultDescription(), "Порт заблокирован POS1.4120.'cash.exe'");
  EXPECT_EQ(port.LockerID(), holder->ID());
  EXPECT_EQ(port.AppName(), "cash.exe");
  EXPECT_EQ(holder->LockPort(3), 0);  // the holder again

  EXPECT_EQ(other->UnlockPort(), -18);
  EXPECT_EQ(other->ResultDescription(), "Порт заблокирован POS1.4120.'cash.exe'");
  EXPECT_TRUE(port.Locked());

  EXPECT_EQ(other->AdminUnlockPort(3), 0);
  EXPECT_FALSE(port.Locked());
  EXPECT_EQ(other->UnlockPort(), 0);  // unlocked: nothing to do
  EXPECT_EQ(other->LockPort(3), 0);
  EXPECT_EQ(holder->LockPort(3), -18);
  EXPECT_EQ(holder->ResultDescription(), "Порт заблокирован POS2.77.'other.exe'");

  auto third = Client(5, "x", "POS3");
  EXPECT_EQ(third->LockPort(4), 0);
  EXPECT_EQ(holder->AdminUnlockPorts(), 0);
  EXPECT_FALSE(port.Locked());
  EXPECT_FALSE(third->Port()->Locked());

  EXPECT_EQ(holder->AdminUnlockPort(99), 0);
  EXPECT_EQ(holder->ResultDescription(), "Ошибок нет");
  EXPECT_EQ(FPorts->ItemByPortNumber(99), nullptr);
}

TEST_F(HaldenTest, UnlockPortWithoutAPortSucceeds) {
  THalden client;
  EXPECT_EQ(client.UnlockPort(), 0);
  EXPECT_EQ(client.ClosePort(), 0);
  EXPECT_EQ(client.ResultDescription(), "Ошибок нет");
}

TEST_F(HaldenTest, SecondOpenKeepsTheFirstSettingsAndCloseClosesForEveryone) {
  auto first = Client(1, "a", "A");
  auto second = Client(2, "b", "B");
  ASSERT_EQ(first->OpenPort(3, 6, 150), 0);
  ASSERT_EQ(second->OpenPort(3, 1, 900), 0);
  TPrinterPort& port = *first->Port();
  EXPECT_EQ(port.BaudRate(), 6);
  EXPECT_EQ(port.Timeout(), 150);
  EXPECT_EQ(FLines.Line(3).Opens, 1);

  EXPECT_EQ(first->ClosePort(), 0);
  EXPECT_FALSE(port.Opened());
  int code = -100;
  EXPECT_EQ(second->SendData(1000, "10", code), "1000");
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(port.Opened());
  EXPECT_EQ(FLines.Line(3).Opens, 2);
  EXPECT_EQ(FLines.Line(3).OpenBaudRate, 6);

  // Closed again, the next open takes that client's settings.
  EXPECT_EQ(second->ClosePort(), 0);
  ASSERT_EQ(second->OpenPort(3, 1, 900), 0);
  EXPECT_EQ(FLines.Line(3).OpenBaudRate, 1);
  EXPECT_EQ(FLines.Line(3).OpenTimeout, 900);
}

struct TOpenFailure {
  const char* Name;
  int Code;
  bool HalfWay;
  const char* Text;
};
void PrintTo(const TOpenFailure& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class HaldenOpenFailureTest : public HaldenTest,
                              public ::testing::WithParamInterface<TOpenFailure> {};

// A failed open, even one that got the device before it failed, leaves the
// port closed, whether it came through OpenPort or through SendData.
TEST_P(HaldenOpenFailureTest, FailedOpenLeavesThePortClosed) {
  const TOpenFailure& c = GetParam();
  TFakeLine& line = FLines.Line(3);
  line.OpenError = c.Code;
  line.OpenHalfWay = c.HalfWay;
  THalden client;
  EXPECT_EQ(client.OpenPort(3, 2, 100), c.Code);
  EXPECT_EQ(client.ResultCode(), c.Code);
  EXPECT_EQ(client.ResultDescription(), c.Text);
  EXPECT_FALSE(line.Opened);

  int code = 0;
  EXPECT_EQ(client.SendData(1000, "10", code), "");
  EXPECT_EQ(code, c.Code);
  EXPECT_EQ(client.ResultDescription(), c.Text);
  EXPECT_FALSE(line.Opened);
  EXPECT_TRUE(line.Commands.empty());

  line.OpenError = 0;
  EXPECT_EQ(client.SendData(1000, "10", code), "1000");
  EXPECT_EQ(code, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HaldenOpenFailureTest,
    ::testing::Values(TOpenFailure{"Missing", -2, false, "СOM порт недоступен"},
                      TOpenFailure{"Busy", -3, false, "СOM порт занят другим приложением"},
                      TOpenFailure{"LineSettingFailed", -1, true, "Нет связи"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// An object that turns to another port number leaves the old port unlocked,
// so that the clients still on it can go on.
TEST_F(HaldenTest, MovingToAnotherPortLeavesTheOldOneUnlocked) {
  auto mover = Client(1, "a", "A");
  auto stayer = Client(2, "b", "B");
  ASSERT_EQ(mover->LockPort(3), 0);
  ASSERT_EQ(stayer->OpenPort(3, 2, 100), 0);
  PPrinterPort old = FPorts->ItemByPortNumber(3);

  ASSERT_EQ(mover->OpenCheck(4, 30), 0);  // any port call moves the hold
  EXPECT_EQ(mover->Port()->PortNumber(), 4);
  EXPECT_TRUE(mover->Port()->CheckOpened());
  EXPECT_FALSE(old->Locked());
  EXPECT_EQ(stayer->LockPort(3), 0);

  // A port someone else locked stays so when this object moves on.
  ASSERT_EQ(mover->OpenPort(3, 2, 100), 0);
  ASSERT_EQ(mover->CloseCheck(4), 0);
  EXPECT_TRUE(old->Locked());
  EXPECT_EQ(old->LockerID(), stayer->ID());
}

TEST_F(HaldenTest, MovingFromAPortNobodyElseHoldsEndsIt) {
  THalden client;
  ASSERT_EQ(client.OpenPort(3, 2, 100), 0);
  const int id = client.Port()->ID();
  ASSERT_EQ(client.LockPort(4), 0);
  EXPECT_EQ(FPorts->ItemByID(id), nullptr);
  EXPECT_FALSE(FLines.Line(3).Opened);
  EXPECT_EQ(FLines.Line(3).LiveObjects, 0);
}

// The end of an object releases its lock and closes the serial port; under
// its lock, with a receipt reported open and AutoRecCancel on, it cancels the
// receipt first.
TEST_F(HaldenTest, EndOfAnObjectCancelsItsReceiptUnlocksAndCloses) {
  Settings(false, true, 10000);
  auto holder = Client(1, "a", "A");
  auto other = Client(2, "b", "B");
  ASSERT_EQ(other->OpenPort(3, 2, 100), 0);
  ASSERT_EQ(holder->OpenPort(3, 2, 100), 0);
  ASSERT_EQ(holder->LockPort(3), 0);
  ASSERT_EQ(holder->OpenCheck(3, 0x1E), 0);
  PPrinterPort port = FPorts->ItemByPortNumber(3);

  holder.reset();
  EXPECT_EQ(HexSpaced(FLines.Line(3).Commands.at(0)), "11 1E 00 00 00");
  EXPECT_EQ(HexSpaced(FLines.Line(3).Commands.at(1)), "88 1E 00 00 00");
  EXPECT_FALSE(port->CheckOpened());
  EXPECT_FALSE(port->Locked());
  EXPECT_FALSE(port->Opened());
  EXPECT_EQ(other->LockPort(3), 0);
}

struct TEndCase {
  const char* Name;
  bool AutoRecCancel;
  bool Lock;
};
void PrintTo(const TEndCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class HaldenEndTest : public HaldenTest, public ::testing::WithParamInterface<TEndCase> {};

// Without AutoRecCancel, or without the lock (someone else may be working in
// that receipt), the end of an object sends nothing.
TEST_P(HaldenEndTest, EndOfAnObjectCancelsNothingElse) {
  Settings(false, GetParam().AutoRecCancel, 10000);
  auto client = Client(1, "a", "A");
  auto other = Client(2, "b", "B");
  ASSERT_EQ(client->OpenPort(3, 2, 100), 0);
  ASSERT_EQ(other->OpenPort(3, 2, 100), 0);
  if (GetParam().Lock) {
    ASSERT_EQ(client->LockPort(3), 0);
  }
  ASSERT_EQ(client->OpenCheck(3, 30), 0);
  PPrinterPort port = FPorts->ItemByPortNumber(3);
  client.reset();
  EXPECT_TRUE(FLines.Line(3).Commands.empty());
  EXPECT_TRUE(port->CheckOpened());
  EXPECT_FALSE(port->Locked());
  EXPECT_FALSE(port->Opened());
}

INSTANTIATE_TEST_SUITE_P(Cases, HaldenEndTest,
                         ::testing::Values(TEndCase{"NoAutoRecCancel", false, true},
                                           TEndCase{"NotTheHolder", true, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A foreign lock survives the end of another object.
TEST_F(HaldenTest, EndOfAnObjectLeavesAForeignLock) {
  auto holder = Client(1, "a", "A");
  auto client = Client(2, "b", "B");
  ASSERT_EQ(holder->LockPort(3), 0);
  ASSERT_EQ(client->OpenPort(3, 2, 100), 0);
  client.reset();
  EXPECT_TRUE(holder->Port()->Locked());
  EXPECT_EQ(holder->Port()->LockerID(), holder->ID());
}

TEST_F(HaldenTest, ClientListFollowsConnectedObjects) {
  TClientsLink clients;
  std::vector<std::pair<int, TChangeType>> changes;
  clients->SetOnChange(
      [&](THalden* Sender, TChangeType Change) { changes.emplace_back(Sender->ID(), Change); });
  auto a = std::make_unique<THalden>();
  auto b = std::make_unique<THalden>();
  EXPECT_EQ(clients->Count(), 0);
  EXPECT_EQ(a->Connect(4120, "cash.exe", "POS1"), 0);
  EXPECT_EQ(a->ResultDescription(), "Ошибок нет");
  EXPECT_EQ(a->Connect(4121, "cash2.exe", "POS1"), 0);  // listed once, data updated
  EXPECT_EQ(b->Connect(5, "b", "B"), 0);
  EXPECT_EQ(clients->Count(), 2);
  EXPECT_EQ(clients->Items(0), a.get());
  EXPECT_EQ(clients->ItemByID(b->ID()), b.get());
  EXPECT_EQ(clients->ItemByID(a->ID())->AppName(), "cash2.exe");
  EXPECT_EQ(clients->ItemByID(a->ID())->AppPID(), 4121u);
  EXPECT_EQ(THalden::ObjectCount(), 2);

  const int aID = a->ID();
  a.reset();
  EXPECT_EQ(clients->Count(), 1);
  EXPECT_EQ(clients->ItemByID(aID), nullptr);
  b.reset();
  EXPECT_EQ(clients->Count(), 0);
  EXPECT_EQ(THalden::ObjectCount(), 0);
  clients->SetOnChange(nullptr);

  const std::vector<std::pair<int, TChangeType>> expected = {
      {aID, ctInsert}, {aID + 1, ctInsert}, {aID, ctRemove}, {aID + 1, ctRemove}};
  EXPECT_EQ(changes, expected);
}

TEST_F(HaldenTest, FileVersionAndComputerName) {
  THalden client;
  EXPECT_EQ(client.FileVersion(), VARKON_FILE_VERSION);
  EXPECT_TRUE(std::regex_match(client.FileVersion(), std::regex(R"(\d+\.\d+\.\d+\.\d+)")));

  char host[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(gethostname(host, sizeof(host) - 1), 0);
  std::string expected(host);
  expected = expected.substr(0, expected.find('.')).substr(0, 15);
  EXPECT_EQ(client.GetComputerName(), expected);
  EXPECT_LE(client.GetComputerName().size(), 15u);
}

// With the lock time-out running, the server object's lock falls after the
// time-out and the receipt it reported open is cancelled first.
TEST_F(HaldenTest, LockTimeOutCancelsTheReceiptAndUnlocks) {
  Settings(true, true, 20);
  auto holder = Client(1, "a", "A");
  auto other = Client(2, "b", "B");
  ASSERT_EQ(holder->OpenPort(3, 2, 100), 0);
  ASSERT_EQ(holder->LockPort(3), 0);
  ASSERT_EQ(holder->OpenCheck(3, 30), 0);
  EXPECT_TRUE(WaitFor([&] { return !holder->Port()->Locked(); }));
  EXPECT_FALSE(holder->Port()->CheckOpened());
  ASSERT_EQ(FLines.Line(3).Commands.size(), 2u);
  EXPECT_EQ(other->LockPort(3), 0);
}

}  // namespace
