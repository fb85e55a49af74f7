// The standard link protocol against a scripted serial port: the exchanges on
// the line byte for byte, the counts of its handshakes and retransmissions,
// and the sound handling of damaged answers, long blocks and noisy lines.
#include "halden/link/PrinterProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/text/Hex.h"
#include "link/PrinterProtocolTestSupport.h"
#include "support/FakeSerialPort.h"

namespace {

std::string Spaced(const std::string& Bytes) {
  return varkon::HexSpaced(Bytes);
}

class StdProtocol : public ::testing::Test {
 protected:
  StdProtocol() { params->Timeout = 50; }

  TCommandRec Command(const std::string& Hex, int Timeout = 1000) {
    TCommandRec rec;
    rec.Command = FakeSerialPort::Bytes(Hex);
    rec.Timeout = Timeout;
    return rec;
  }
  // The device is ready (NAK to ENQ) and acknowledges the frame.
  void ReadyAndAcked(const std::string& AnswerBytes) {
    port->OnWrite("15");
    port->OnWriteBytes("\x06" + AnswerBytes);
  }
  // Send that must fail with Code.
  void ExpectFailure(TCommandRec& Rec, int Code) {
    try {
      proto.Send(Rec);
      ADD_FAILURE() << "Send succeeded";
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), Code) << E.what();
    }
  }

  std::shared_ptr<FakeSerialPort> port = std::make_shared<FakeSerialPort>();
  PConnectionParams params = std::make_shared<TConnectionParams>();
  TPrinterProtocol proto{port, params};
};

TEST_F(StdProtocol, EncodeFramesTheBlockWithLengthAndLrc) {
  EXPECT_EQ(Spaced(proto.Encode(FakeSerialPort::Bytes("41 42 43"))), "02 03 41 42 43 43");
  EXPECT_EQ(Spaced(proto.Encode({})), "02 00 00");
  const std::string longest(255, '\x11');
  const std::string frame = proto.Encode(longest);
  ASSERT_EQ(frame.size(), 258u);
  EXPECT_EQ(frame[1], '\xFF');
  EXPECT_EQ(frame.back(), '\xFF' ^ '\x11');  // 255 times 11 is 11
}

TEST_F(StdProtocol, NormalExchangeByteForByte) {
  LogCapture log;
  ReadyAndAcked(AnswerFrame("11 00 41 42"));
  TCommandRec rec = Command("41 42 43");
  proto.Send(rec);

  EXPECT_EQ(port->Transcript(),
            "H 05 | D 15 | H 02 03 41 42 43 43 | D 06 02 04 11 00 41 42 16 | H 06");
  EXPECT_EQ(Spaced(rec.Answer), "11 00 41 42");
  EXPECT_EQ(Spaced(rec.TxData), "02 03 41 42 43 43");
  EXPECT_EQ(Spaced(rec.RxData), "02 04 11 00 41 42 16");
  EXPECT_EQ(port->Pending(), 0u);

  // Byte time-out Timeout for the handshake and the acknowledgement, the
  // command's time-out for STX and LEN, Timeout again for the body.
  EXPECT_EQ(
      port->CallsOf("SetCmdTimeout"),
      (std::vector<std::string>{"SetCmdTimeout 50", "SetCmdTimeout 1000", "SetCmdTimeout 50"}));
  EXPECT_EQ(port->CallsOf("ReadEx"), std::vector<std::string>{"ReadEx 5 50"});
  EXPECT_EQ(port->Calls().front(), "Purge");

  const auto messages = log.Messages();
  const std::vector<std::string> expected = {
      "TPrinterProtocol SetCmdTimeout: 50",
      "TPrinterProtocol -> 05",
      "TPrinterProtocol ReadAckChar try",
      "TPrinterProtocol <- 15",
      "TPrinterProtocol -> 02 03 41 42 43 43",
      "TPrinterProtocol ReadAckChar try",
      "TPrinterProtocol <- 06",
      "TPrinterProtocol SetCmdTimeout: 1000",
      "TPrinterProtocol <- 02",
      "TPrinterProtocol <- 04",
      "TPrinterProtocol SetCmdTimeout: 50",
      "TPrinterProtocol <- 11 00 41 42 16",
      "TPrinterProtocol -> 06",
  };
  EXPECT_EQ(messages, expected);
}

TEST_F(StdProtocol, AnswerWaitingAtTheFirstEnqIsAcknowledgedAndDropped) {
  port->OnWriteBytes("\x06" + AnswerFrame("11 00 01"));  // ENQ: an old answer waits
  port->OnWrite("");                                     // host's ACK of it
  ReadyAndAcked(AnswerFrame("22 00 02"));
  TCommandRec rec = Command("22");
  proto.Send(rec);

  EXPECT_EQ(port->Writes(), (std::vector<std::string>{"05", "06", "05", "02 01 22 23", "06"}));
  EXPECT_EQ(Spaced(rec.Answer), "22 00 02");
  EXPECT_EQ(Spaced(rec.RxData), Spaced(AnswerFrame("22 00 02")));
}

TEST_F(StdProtocol, DeviceThatKeepsAnsweringAckFailsAfterFiveAnswers) {
  for (int i = 0; i < 6; ++i) {
    port->OnWriteBytes("\x06" + AnswerFrame("11 00"));
    port->OnWrite("");
  }
  TCommandRec rec = Command("22");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->CountOf("Write 05"), 5);
  EXPECT_EQ(port->CountOf("Write 06"), 5);
  EXPECT_EQ(port->CountOf("Write 02"), 0);
}

TEST_F(StdProtocol, SilentDeviceGetsFiveEnqsEachWithAReopen) {
  LogCapture log;
  TCommandRec rec = Command("41");
  rec.Answer = "old answer";
  rec.TxData = "old tx";
  rec.RxData = "old rx";
  ExpectFailure(rec, E_NOCONNECTION);

  std::vector<std::string> expected = {"Purge", "SetCmdTimeout 50"};
  for (int i = 0; i < 5; ++i)
    for (const char* call : {"Write 05", "ReadChar ~", "Close", "Open", "SetCmdTimeout 50"})
      expected.push_back(call);
  EXPECT_EQ(port->Calls(), expected);
  EXPECT_EQ(rec.Answer, "old answer");
  EXPECT_EQ(rec.TxData, "old tx");
  EXPECT_EQ(rec.RxData, "old rx");
  EXPECT_TRUE(log.Has("TPrinterProtocol Reconnect"));
  EXPECT_TRUE(log.Has("TPrinterProtocol EnqCount = 5"));
  EXPECT_TRUE(log.Has("TPrinterProtocol MaxEnqCount = 4"));
  EXPECT_TRUE(log.Has("TPrinterProtocol Repeat ENQ"));
  EXPECT_TRUE(log.Has("TPrinterProtocol <- "));  // the read that timed out
}

TEST_F(StdProtocol, ReopenFailuresInsideTheHandshakeAreLoggedAndIgnored) {
  LogCapture log;
  port->OnWrite("");  // first ENQ unanswered
  port->FailNext("Open", E_PORTNOTAVAILABLE);
  ReadyAndAcked(AnswerFrame("41 00"));
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), "41 00");
  EXPECT_TRUE(log.Has("TPrinterProtocol Reconnect: Port opening error: fake Open failure"));
}

// The device's reply to the first ENQ, and whether the protocol counts it as
// no reply (a reconnect and a second ENQ, answered with NAK).
struct TControlCase {
  const char* Reply;
  bool Reconnects;
};

class ControlByte : public StdProtocol, public ::testing::WithParamInterface<TControlCase> {};

TEST_P(ControlByte, ReadsUpToThreeBytesAndSkipsFF) {
  const TControlCase& c = GetParam();
  port->OnWrite(c.Reply);
  if (c.Reconnects) port->OnWrite("15");
  port->OnWriteBytes("\x06" + AnswerFrame("41 00"));
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), "41 00");
  EXPECT_EQ(port->CountOf("Close"), c.Reconnects ? 1 : 0);
  EXPECT_EQ(port->CountOf("Write 05"), c.Reconnects ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Replies, ControlByte,
                         ::testing::Values(TControlCase{"15", false}, TControlCase{"FF 15", false},
                                           TControlCase{"41 42 15", false},
                                           TControlCase{"FF 41 FF 42 15", false},
                                           TControlCase{"41 42 43", true},
                                           TControlCase{"FF 41 FF 42 FF 43", true},
                                           TControlCase{"FF", true}, TControlCase{"FF FF", true}));

TEST_F(StdProtocol, StrayFFBeforeTheAcknowledgementIsSkipped) {
  port->OnWrite("15");
  port->OnWriteBytes("\xFF\x06" + AnswerFrame("41 00"));
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), "41 00");
}

TEST_F(StdProtocol, DevicesOwnEnqCountsAsAFailureAndDrainsTheLine) {
  LogCapture log;
  port->OnWrite("05 33 44");  // its ENQ and some rubbish, then silence
  ReadyAndAcked(AnswerFrame("41 00"));
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), "41 00");

  const auto& calls = port->Calls();
  const std::vector<std::string> drain = {"ReadChar 05", "SetCmdTimeout 100", "ReadChar 33",
                                          "ReadChar 44", "ReadChar ~",        "SetCmdTimeout 50",
                                          "Write 05"};
  EXPECT_NE(std::search(calls.begin(), calls.end(), drain.begin(), drain.end()), calls.end());
  EXPECT_EQ(port->CountOf("Close"), 0);
  EXPECT_TRUE(log.Has("TPrinterProtocol ReadBadAnswer"));
  EXPECT_TRUE(log.Has("TPrinterProtocol SetCmdTimeout: 100"));
}

TEST_F(StdProtocol, DeviceThatAlwaysSendsEnqFailsAfterFiveFailures) {
  for (int i = 0; i < 6; ++i) port->OnWrite("05");
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->CountOf("Write 05"), 5);
  EXPECT_EQ(port->CountOf("SetCmdTimeout 100"), 5);
}

TEST_F(StdProtocol, DrainOfALineThatNeverFallsSilentIsBounded) {
  port->OnWrite("05");
  port->SetNoise('\x33');
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  // One drain, then four ENQs whose replies are three noise bytes each.
  EXPECT_EQ(port->CountOf("Write 05"), 5);
  EXPECT_LE(port->SingleReads(), 1 + TPrinterProtocol::MaxDrainBytes + 4 * 3);
  EXPECT_EQ(port->CallsOf("SetCmdTimeout").back(), "SetCmdTimeout 50");
}

TEST_F(StdProtocol, DrainRestoresTheTimeoutWhenTheReadFails) {
  port->OnWrite("05 33");
  // The reply's two bytes pass; the next read fails inside the drain.
  port->FailNext("ReadChar", E_NOCONNECTION, 1, 2);
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(
      port->CallsOf("SetCmdTimeout"),
      (std::vector<std::string>{"SetCmdTimeout 50", "SetCmdTimeout 100", "SetCmdTimeout 50"}));
}

// Answers to the frame: NAKs before the ACK, and whether the command goes through.
class Retransmission : public StdProtocol, public ::testing::WithParamInterface<int> {};

TEST_P(Retransmission, NakMakesTheHostSendTheFrameAgainUpToFourTimes) {
  const int naks = GetParam();
  port->OnWrite("15");
  for (int i = 0; i < naks; ++i) port->OnWrite("15");
  port->OnWriteBytes("\x06" + AnswerFrame("41 00"));
  TCommandRec rec = Command("41");
  if (naks < 4) {
    proto.Send(rec);
    EXPECT_EQ(Spaced(rec.Answer), "41 00");
    EXPECT_EQ(port->CountOf("Write 02 01 41 40"), naks + 1);
  } else {
    ExpectFailure(rec, E_NOCONNECTION);
    EXPECT_EQ(port->CountOf("Write 02 01 41 40"), 4);
  }
  // Every transmission is preceded by a purge.
  const auto& calls = port->Calls();
  for (std::size_t i = 1; i < calls.size(); ++i)
    if (calls[i] == "Write 02 01 41 40") {
      EXPECT_EQ(calls[i - 1], "Purge");
    }
}

INSTANTIATE_TEST_SUITE_P(Naks, Retransmission, ::testing::Values(0, 1, 3, 4));

TEST_F(StdProtocol, FrameWithoutAcknowledgementOrAnsweredWithEnqFails) {
  port->OnWrite("15");
  port->OnWrite("");  // no acknowledgement at all
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->CountOf("ReadChar ~"), 4);  // MaxAnsCount tries
  EXPECT_EQ(port->CountOf("Write 02"), 1);

  auto port2 = std::make_shared<FakeSerialPort>();
  TPrinterProtocol proto2(port2, params);
  port2->OnWrite("15");
  port2->OnWrite("05");
  port2->OnWrite("15");
  try {
    proto2.Send(rec);
    ADD_FAILURE() << "ENQ in place of ACK accepted";
  } catch (const EDriverError& E) {
    EXPECT_EQ(E.ErrorCode(), E_NOCONNECTION);
  }
  EXPECT_EQ(port2->CountOf("Write 02"), 1);
}

TEST_F(StdProtocol, DamagedAnswerIsRefusedAndFetchedAgainWithEnq) {
  LogCapture log;
  ReadyAndAcked(AnswerFrame("41 00 77", true));
  port->OnWrite("");  // the NAK
  port->OnWriteBytes("\x06" + AnswerFrame("41 00 77"));
  TCommandRec rec = Command("41");
  proto.Send(rec);

  EXPECT_EQ(port->Writes(), (std::vector<std::string>{"05", "02 01 41 40", "15", "05", "06"}));
  EXPECT_EQ(Spaced(rec.Answer), "41 00 77");
  // Both copies were received for this command.
  EXPECT_EQ(rec.RxData, AnswerFrame("41 00 77", true) + AnswerFrame("41 00 77"));
  EXPECT_TRUE(log.Has("TPrinterProtocol No Answer. repeat"));
}

TEST_F(StdProtocol, DamagedAnswerIsNeverDelivered) {
  struct TCase {
    const char* Name;
    int Copies;         // damaged copies after the first one
    const char* Fetch;  // the device's reply to the fetching ENQ, when not a copy
  } cases[] = {{"every copy damaged", 6, nullptr},
               {"device has no answer", 0, "15"},
               {"device silent", 0, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol p(dev, params);
    dev->OnWrite("15");
    dev->OnWriteBytes("\x06" + AnswerFrame("41 00 77", true));
    dev->OnWrite("");
    for (int i = 0; i < c.Copies; ++i) {
      dev->OnWriteBytes("\x06" + AnswerFrame("41 00 77", true));
      dev->OnWrite("");
    }
    if (c.Fetch) dev->OnWrite(c.Fetch);
    TCommandRec rec = Command("41");
    rec.Answer = "old";
    try {
      p.Send(rec);
      ADD_FAILURE() << "a damaged answer was delivered: " << Spaced(rec.Answer);
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), E_NOCONNECTION);
    }
    EXPECT_EQ(rec.Answer, "old");
    if (c.Copies) {
      EXPECT_EQ(dev->CountOf("Write 05"), 1 + 5);  // five fetches, then give up
    }
  }
}

TEST_F(StdProtocol, SingleAttemptConfigurationFailsWithoutFetching) {
  LogCapture log;
  params->MaxAnsCount = 1;
  ReadyAndAcked(AnswerFrame("41 00", true));
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->CountOf("Write 05"), 1);
  EXPECT_TRUE(log.Has("TPrinterProtocol No Answer. MaxAnsCount = 1"));
}

TEST_F(StdProtocol, AnswerCutShortOrWithoutStxIsFetchedAgain) {
  struct TCase {
    const char* Name;
    std::string First;
  } cases[] = {{"body times out", FakeSerialPort::Bytes("02 05 41 00") + ""},
               {"no STX", FakeSerialPort::Bytes("41 00")},
               {"no LEN", FakeSerialPort::Bytes("02")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    LogCapture log;
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol p(dev, params);
    dev->OnWrite("15");
    dev->OnWriteBytes("\x06" + c.First);
    dev->OnWriteBytes("\x06" + AnswerFrame("41 00"));
    TCommandRec rec = Command("41");
    p.Send(rec);
    EXPECT_EQ(Spaced(rec.Answer), "41 00");
    if (c.First.size() > 2) {
      EXPECT_TRUE(log.Has("TPrinterProtocol ReadAnswerData: Нет связи"));
    }
  }
}

TEST_F(StdProtocol, EmptyAnswerReadsOnlyTheLrc) {
  ReadyAndAcked(FakeSerialPort::Bytes("02 00 00"));
  TCommandRec rec = Command("41");
  rec.Answer = "old";
  proto.Send(rec);
  EXPECT_EQ(rec.Answer, "");
  EXPECT_EQ(port->CallsOf("ReadEx"), std::vector<std::string>{"ReadEx 1 50"});
  EXPECT_EQ(port->Writes().back(), "06");
}

TEST_F(StdProtocol, LongestBlocksGoThroughAndLongerOnesAreRefusedBeforeAnyIo) {
  const std::string longest(255, '\x41');
  const std::string answer(255, '\x42');
  std::string answerFrame =
      std::string("\x02\xFF", 2) + answer + static_cast<char>('\xFF' ^ '\x42');
  ReadyAndAcked(answerFrame);
  TCommandRec rec;
  rec.Command = longest;
  rec.Timeout = 100;
  proto.Send(rec);
  EXPECT_EQ(rec.Answer, answer);
  EXPECT_EQ(rec.TxData.size(), 258u);
  EXPECT_EQ(rec.TxData[1], '\xFF');

  for (std::size_t size : {256u, 257u, 511u, 1000u}) {
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol p(dev, params);
    TCommandRec big;
    big.Command.assign(size, '\x41');
    big.Answer = "old";
    try {
      p.Send(big);
      ADD_FAILURE() << size << " bytes sent";
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), E_UNKNOWN);
      EXPECT_STREQ(E.what(), "Слишком длинная команда");
    }
    EXPECT_TRUE(dev->Calls().empty()) << size;
    EXPECT_EQ(big.Answer, "old");
    EXPECT_THROW(p.Encode(big.Command), EDriverError);
  }
}

TEST_F(StdProtocol, BlocksWithFEE9LogOnlyTheirFirstFourBytes) {
  LogCapture log;
  ReadyAndAcked(AnswerFrame("FE 00"));
  TCommandRec rec = Command("FE E9 01 02 03 04");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.TxData),
            "02 06 FE E9 01 02 03 04 " +
                Spaced(std::string(1, '\x06' ^ '\xFE' ^ '\xE9' ^ 1 ^ 2 ^ 3 ^ 4)));
  EXPECT_TRUE(log.Has("TPrinterProtocol -> 02 06 FE E9"));
  for (const auto& m : log.Messages()) EXPECT_EQ(m.find("01 02 03 04"), std::string::npos) << m;
}

TEST_F(StdProtocol, OtherBlocksAreLoggedWhole) {
  LogCapture log;
  ReadyAndAcked(AnswerFrame("FE 00"));
  TCommandRec rec = Command("FE E8 01 02");
  proto.Send(rec);
  EXPECT_TRUE(log.Has("TPrinterProtocol -> " + Spaced(rec.TxData)));
}

TEST_F(StdProtocol, PortErrorsPropagateUnchanged) {
  struct TCase {
    const char* Op;
    int Code;
  } cases[] = {{"Purge", E_PORTBUSY}, {"Write", E_NOCONNECTION}, {"SetCmdTimeout", E_NOCONNECTION}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Op);
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol p(dev, params);
    dev->FailNext(c.Op, c.Code);
    TCommandRec rec = Command("41");
    rec.Answer = "old";
    try {
      p.Send(rec);
      ADD_FAILURE() << "no failure";
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), c.Code);
    }
    EXPECT_EQ(rec.Answer, "old");
  }
}

TEST_F(StdProtocol, RemovalWhileTheAnswerComesInEndsTheCommandWithoutReopening) {
  ReadyAndAcked(FakeSerialPort::Bytes("02 05 41"));
  port->RemoveAt("ReadEx");
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->CountOf("Open"), 0);
  EXPECT_EQ(port->CountOf("Write 05"), 1);
}

}  // namespace
