// Link protocol 2 against a scripted serial port: frames, stuffing, frame
// numbers, synchronisation, retransmission and resynchronisation counts, and
// the sound handling of damaged frames and noisy lines.
#include "halden/link/PrinterProtocol2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/text/Crc.h"
#include "common/text/Hex.h"
#include "link/PrinterProtocolTestSupport.h"
#include "support/FakeSerialPort.h"

namespace {

std::string Spaced(const std::string& Bytes) {
  return varkon::HexSpaced(Bytes);
}

constexpr const char* kSyncFrame = "8F 00 00 0F 1D";

class Protocol2 : public ::testing::Test {
 protected:
  Protocol2() { params->Timeout = 50; }

  TCommandRec Command(const std::string& Hex, int Timeout = 1000) {
    TCommandRec rec;
    rec.Command = FakeSerialPort::Bytes(Hex);
    rec.Timeout = Timeout;
    return rec;
  }
  // The device answers the synchronisation frame with Number.
  void SyncAnswer(unsigned Number) { port->OnWriteBytes(DeviceFrame(Number, "")); }
  void Answer(unsigned Number, const std::string& DataHex) {
    port->OnWriteBytes(DeviceFrame(Number, DataHex));
  }
  void ExpectFailure(TCommandRec& Rec, int Code) {
    try {
      proto.Send(Rec);
      ADD_FAILURE() << "Send succeeded";
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), Code) << E.what();
    }
  }
  int CommandWrites() const {
    int n = 0;
    for (const auto& w : port->Writes()) n += w != kSyncFrame;
    return n;
  }

  std::shared_ptr<FakeSerialPort> port = std::make_shared<FakeSerialPort>();
  PConnectionParams params = std::make_shared<TConnectionParams>();
  TPrinterProtocol2 proto{port, params};
};

TEST_F(Protocol2, FirstCommandSynchronisesAndGoesOutUnderTheNextNumber) {
  EXPECT_EQ(Spaced(proto.Encode({})), kSyncFrame);
  EXPECT_FALSE(proto.Synchronized());

  SyncAnswer(0);
  Answer(1, "41 00 33");
  TCommandRec rec = Command("41 42 43");
  proto.Send(rec);

  EXPECT_EQ(port->Writes(),
            (std::vector<std::string>{kSyncFrame, "8F 05 00 01 00 41 42 43 AC 1B"}));
  EXPECT_EQ(Spaced(rec.Answer), "41 00 33");
  EXPECT_EQ(Spaced(rec.TxData), "8F 05 00 01 00 41 42 43 AC 1B");
  // The synchronisation answer was received in the same pass.
  EXPECT_EQ(rec.RxData, DeviceFrame(0, "") + DeviceFrame(1, "41 00 33"));
  EXPECT_TRUE(proto.Synchronized());
  EXPECT_EQ(proto.FrameNumber(), 2);
  EXPECT_EQ(port->Pending(), 0u);

  const std::vector<std::string> head = {"Purge", "SetCmdTimeout 50",
                                         std::string("Write ") + kSyncFrame};
  EXPECT_EQ(std::vector<std::string>(port->Calls().begin(), port->Calls().begin() + 3), head);
  EXPECT_EQ(port->CallsOf("SetCmdTimeout"),
            (std::vector<std::string>{"SetCmdTimeout 50", "SetCmdTimeout 1000"}));
  // LEN and NUMBER come in one block read, DATA and CRC in another.
  EXPECT_EQ(port->CallsOf("Read "),
            (std::vector<std::string>{"Read 4", "Read 2", "Read 4", "Read 5"}));
}

TEST_F(Protocol2, NumberOfTheSynchronisationAnswerIsCarriedOn) {
  SyncAnswer(0x0120);
  Answer(0x0121, "01 00");
  Answer(0x0122, "02 00");
  TCommandRec first = Command("01");
  proto.Send(first);
  TCommandRec second = Command("02");
  proto.Send(second);

  EXPECT_EQ(port->Writes(), (std::vector<std::string>{kSyncFrame, Spaced(DeviceFrame(0x121, "01")),
                                                      Spaced(DeviceFrame(0x122, "02"))}));
  EXPECT_EQ(Spaced(second.Answer), "02 00");
  EXPECT_EQ(second.RxData, DeviceFrame(0x0122, "02 00"));
  EXPECT_EQ(proto.FrameNumber(), 0x0123);
}

TEST_F(Protocol2, FrameNumberWrapsFromFFFFToZero) {
  SyncAnswer(0xFFFE);
  Answer(0xFFFF, "01 00");
  Answer(0x0000, "02 00");
  TCommandRec rec = Command("01");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.TxData), Spaced(DeviceFrame(0xFFFF, "01")));
  EXPECT_EQ(proto.FrameNumber(), 0);
  rec = Command("02");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.TxData), Spaced(DeviceFrame(0, "02")));
  EXPECT_EQ(proto.FrameNumber(), 1);
}

TEST_F(Protocol2, CommandBytesAndFrameNumberAreStuffed) {
  SyncAnswer(0x8E);  // the command goes out as 0x008F
  Answer(0x8F, "8F 00");
  TCommandRec rec = Command("8F 9F 41");
  proto.Send(rec);
  const std::string tx = Spaced(rec.TxData);
  EXPECT_EQ(tx.substr(0, 32), "8F 05 00 9F 81 00 9F 81 9F 83 41");
  EXPECT_EQ(tx, Spaced(DeviceFrame(0x8F, "8F 9F 41")));
  EXPECT_EQ(rec.TxData.find('\x8F', 1), std::string::npos);
  EXPECT_EQ(Spaced(rec.Answer), "8F 00");
}

// Answer data with stuffed bytes in every position of the block read.
class Unstuffing : public Protocol2, public ::testing::WithParamInterface<const char*> {};

TEST_P(Unstuffing, AnswerDataIsRestored) {
  SyncAnswer(0);
  Answer(1, GetParam());
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), Spaced(FakeSerialPort::Bytes(GetParam())));
  EXPECT_EQ(rec.RxData, DeviceFrame(0, "") + DeviceFrame(1, GetParam()));
  EXPECT_EQ(CommandWrites(), 1);
}

INSTANTIATE_TEST_SUITE_P(Data, Unstuffing,
                         ::testing::Values("", "41", "8F", "9F", "41 8F",  // pair split at the end
                                           "41 42 9F", "8F 8F", "9F 9F 9F 9F", "8F 41 9F 42 8F",
                                           "9F 81 9F 83"));

TEST_F(Protocol2, AnswerNumberAndCrcMayBeStuffed) {
  // Find data whose CRC holds a byte that must be stuffed.
  std::string hex;
  for (int b = 0; b < 256 && hex.empty(); ++b) {
    std::string body;
    AppendWord(body, 3);
    AppendWord(body, 0x9F);
    body += static_cast<char>(b);
    const unsigned crc = varkon::Crc16Ccitt(body);
    if ((crc & 0xFF) == 0x8F || (crc & 0xFF) == 0x9F || (crc >> 8) == 0x8F || (crc >> 8) == 0x9F)
      hex = Spaced(std::string(1, static_cast<char>(b)));
  }
  ASSERT_FALSE(hex.empty());
  SyncAnswer(0x9E);
  Answer(0x9F, hex);
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), hex);
}

TEST_F(Protocol2, ForeignNumbersResynchroniseUpToTheFifth) {
  for (int foreign = 1; foreign <= 5; ++foreign) {
    SCOPED_TRACE(foreign);
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol2 p(dev, params);
    unsigned number = 10;
    for (int i = 0; i < foreign; ++i) {
      dev->OnWriteBytes(DeviceFrame(number, ""));              // sync
      dev->OnWriteBytes(DeviceFrame(number - 5, "41 00 01"));  // an earlier frame's answer
      number += 10;
    }
    dev->OnWriteBytes(DeviceFrame(number, ""));
    dev->OnWriteBytes(DeviceFrame(number + 1, "41 00 02"));
    TCommandRec rec = Command("41");
    rec.Answer = "old";
    rec.TxData = "old";
    rec.RxData = "old";
    if (foreign < 5) {
      p.Send(rec);
      EXPECT_EQ(Spaced(rec.Answer), "41 00 02");
      EXPECT_EQ(Spaced(rec.TxData), Spaced(DeviceFrame(number + 1, "41")));
      EXPECT_EQ(dev->CountOf("Write " + std::string(kSyncFrame)), foreign + 1);
    } else {
      try {
        p.Send(rec);
        ADD_FAILURE() << "the fifth foreign answer was accepted";
      } catch (const EDriverError& E) {
        EXPECT_EQ(E.ErrorCode(), E_NOCONNECTION);
      }
      EXPECT_EQ(dev->CountOf("Write " + std::string(kSyncFrame)), 5);
      EXPECT_FALSE(p.Synchronized());
      // A foreign answer is never delivered.
      EXPECT_EQ(rec.Answer, "old");
      EXPECT_EQ(rec.TxData, "old");
      EXPECT_EQ(rec.RxData, "old");
    }
  }
}

// An answer that fails in a given way, Times times in a row before a good one.
struct TDamage {
  const char* Name;
  std::string Bad;  // the raw bytes of the damaged answer
};

std::vector<TDamage> Damages() {
  return {
      {"wrong CRC", DeviceFrame(1, "41 00", 0x0101)},
      {"LEN 0", DeviceFrame(1, "", 0, 0)},
      {"LEN 1", DeviceFrame(1, "", 0, 1)},
      {"9F 41 in the block", FakeSerialPort::Bytes("8F 04 00 01 00 9F 41 00 00")},
      {"lone 9F at the block end, then 41", FakeSerialPort::Bytes("8F 04 00 01 00 41 9F 41 00 00")},
      {"9F 41 after the block", FakeSerialPort::Bytes("8F 04 00 01 00 9F 81 9F 41 00")},
      {"start byte inside the frame", FakeSerialPort::Bytes("8F 04 00 01 00 41 8F 00 00")},
      {"block cut short", FakeSerialPort::Bytes("8F 06 00 01 00 41 42")},
      {"CRC cut short", FakeSerialPort::Bytes("8F 03 00 01 00 41 11")},
      {"no answer", ""},
  };
}

class DamagedAnswer : public Protocol2, public ::testing::WithParamInterface<int> {};

TEST_P(DamagedAnswer, IsSentAgainUnderTheSameNumberUpToFourTimes) {
  for (const TDamage& d : Damages()) {
    SCOPED_TRACE(d.Name);
    const int bad = GetParam();
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol2 p(dev, params);
    dev->OnWriteBytes(DeviceFrame(0, ""));
    for (int i = 0; i < bad; ++i) dev->OnWriteBytes(d.Bad);
    dev->OnWriteBytes(DeviceFrame(1, "41 00 07"));
    TCommandRec rec = Command("41");
    rec.Answer = "old";
    if (bad < 4) {
      p.Send(rec);
      EXPECT_EQ(Spaced(rec.Answer), "41 00 07");
      EXPECT_EQ(rec.RxData, DeviceFrame(1, "41 00 07"));  // cleared with each retransmission
    } else {
      try {
        p.Send(rec);
        ADD_FAILURE() << "damaged answer accepted: " << Spaced(rec.Answer);
      } catch (const EDriverError& E) {
        EXPECT_EQ(E.ErrorCode(), E_NOCONNECTION);
      }
      EXPECT_EQ(rec.Answer, "old");
    }
    // No acknowledgement of any kind and no resynchronisation: only the same frame again.
    std::vector<std::string> expected = {kSyncFrame};
    for (int i = 0; i < std::min(bad + 1, 4); ++i) expected.push_back(Spaced(DeviceFrame(1, "41")));
    EXPECT_EQ(dev->Writes(), expected);
    // Each transmission starts with a purge.
    EXPECT_EQ(dev->CountOf("Purge"), std::min(bad + 1, 4));
  }
}

INSTANTIATE_TEST_SUITE_P(Times, DamagedAnswer, ::testing::Values(1, 3, 4));

TEST_F(Protocol2, StartByteIsFoundAmongTheRawBytes) {
  // A stuffed 8F in front of the frame is not a start byte.
  SyncAnswer(0);
  port->OnWriteBytes(FakeSerialPort::Bytes("9F 81 41 9F") + DeviceFrame(1, "41 00"));
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_EQ(Spaced(rec.Answer), "41 00");
  EXPECT_EQ(CommandWrites(), 1);
}

TEST_F(Protocol2, HuntOnALineThatNeverFallsSilentIsBounded) {
  SyncAnswer(0);
  port->SetNoise('\x41');
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(CommandWrites(), 4);
  EXPECT_LE(port->SingleReads(), 7 + 4 * TPrinterProtocol2::MaxHuntBytes);
}

TEST_F(Protocol2, FailedSynchronisationIsNotRetried) {
  port->OnWrite("");
  TCommandRec rec = Command("41");
  rec.Answer = "old";
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(port->Writes(), std::vector<std::string>{kSyncFrame});
  EXPECT_FALSE(proto.Synchronized());
  EXPECT_EQ(rec.Answer, "old");

  // A damaged synchronisation answer fails the same way, with the link's error.
  for (const TDamage& d : Damages()) {
    SCOPED_TRACE(d.Name);
    auto dev = std::make_shared<FakeSerialPort>();
    TPrinterProtocol2 p(dev, params);
    dev->OnWriteBytes(d.Bad);
    try {
      p.Send(rec);
      ADD_FAILURE() << "synchronised on a damaged answer";
    } catch (const EDriverError& E) {
      EXPECT_EQ(E.ErrorCode(), E_NOCONNECTION);
    }
    EXPECT_EQ(dev->Writes(), std::vector<std::string>{kSyncFrame});
  }
}

TEST_F(Protocol2, SyncSynchronisesAgainAtOnce) {
  SyncAnswer(5);
  Answer(6, "41 00");
  TCommandRec rec = Command("41");
  proto.Send(rec);
  SyncAnswer(0x40);
  proto.Sync();
  EXPECT_EQ(port->Writes().back(), kSyncFrame);
  EXPECT_TRUE(proto.Synchronized());
  EXPECT_EQ(proto.FrameNumber(), 0x41);
  proto.Reset();  // no effect
  EXPECT_EQ(proto.FrameNumber(), 0x41);
}

TEST_F(Protocol2, LongestBlockFitsAndLongerOnesAreRefusedBeforeAnyIo) {
  const std::string longest(TPrinterProtocol2::MaxBlockSize, '\x41');
  EXPECT_EQ(Spaced(proto.Encode(longest).substr(0, 5)), "8F FF FF 00 00");

  TCommandRec rec;
  rec.Command.assign(TPrinterProtocol2::MaxBlockSize + 1, '\x41');
  rec.Answer = "old";
  try {
    proto.Send(rec);
    ADD_FAILURE() << "sent";
  } catch (const EDriverError& E) {
    EXPECT_EQ(E.ErrorCode(), E_UNKNOWN);
    EXPECT_STREQ(E.what(), "Слишком длинная команда");
  }
  EXPECT_TRUE(port->Calls().empty());
  EXPECT_EQ(rec.Answer, "old");
  EXPECT_THROW(proto.Encode(rec.Command), EDriverError);
}

TEST_F(Protocol2, PortErrorsOutsideTheAnswerPropagate) {
  port->FailNext("Purge", E_PORTBUSY);
  TCommandRec rec = Command("41");
  ExpectFailure(rec, E_PORTBUSY);

  SyncAnswer(0);
  port->FailNext("Write", E_NOCONNECTION, 1, 1);  // the command frame
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(CommandWrites(), 0);
}

TEST_F(Protocol2, AnswerErrorsAreLogged) {
  LogCapture log;
  SyncAnswer(0);
  port->OnWriteBytes(DeviceFrame(1, "41 00", 1));
  Answer(1, "41 00");
  TCommandRec rec = Command("41");
  proto.Send(rec);
  EXPECT_TRUE(log.Has("TPrinterProtocol2 -> " + std::string(kSyncFrame)));
  EXPECT_TRUE(log.Has("TPrinterProtocol2 CRC error"));
  EXPECT_TRUE(log.Has("TPrinterProtocol2 <- 8F"));
}

TEST_F(Protocol2, RemovalWhileTheAnswerComesInEndsTheCommandWithoutRetrying) {
  SyncAnswer(0);
  port->OnWriteBytes(FakeSerialPort::Bytes("8F 05 00 01 00 41"));
  port->RemoveAt("Read", 2);  // after the two reads of the synchronisation answer
  TCommandRec rec = Command("41 42 43");
  ExpectFailure(rec, E_NOCONNECTION);
  EXPECT_EQ(CommandWrites(), 1);
  EXPECT_EQ(port->CountOf("Open"), 0);
}

}  // namespace
