// Both link protocols over the real serial port on a pseudo-terminal, with a
// scripted device on the master side: the exchanges as they happen on a line,
// with its time-outs, reopening and removal.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/text/Hex.h"
#include "halden/link/ComPort.h"
#include "halden/link/PrinterProtocol.h"
#include "halden/link/PrinterProtocol2.h"
#include "link/PrinterProtocolTestSupport.h"
#include "support/PtyDevice.h"

namespace {

using pty::Bytes;

std::string Spaced(const std::string& Bytes) {
  return varkon::HexSpaced(Bytes);
}

class LinkOverPty : public ::testing::Test {
 protected:
  LinkOverPty() {
    params->ComNumber = dev.ComNumber();
    params->BaudRate = 6;
    params->Timeout = 100;
    port->Open();
  }

  TCommandRec Command(const std::string& Hex, int Timeout = 1000) {
    TCommandRec rec;
    rec.Command = Bytes(Hex);
    rec.Timeout = Timeout;
    return rec;
  }
  int CodeOf(IPrinterProtocol& Protocol, TCommandRec& Rec) {
    try {
      Protocol.Send(Rec);
    } catch (const EDriverError& E) {
      return E.ErrorCode();
    }
    return 0;
  }

  TPtyDevice dev{7};
  PConnectionParams params = std::make_shared<TConnectionParams>();
  std::shared_ptr<TComPort> port = std::make_shared<TComPort>(params);
};

TEST_F(LinkOverPty, StandardExchangeByteForByte) {
  TPrinterProtocol protocol(port, params);
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(Bytes("02 03 41 42 43 43"), Bytes("06")),
      pty::Reply(AnswerFrame("41 00 01 02")).After(20).Gap(2),  // the command runs 20 ms
      pty::Expect(Bytes("06")),
  });
  TCommandRec rec = Command("41 42 43");
  protocol.Send(rec);
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(Spaced(rec.Answer), "41 00 01 02");
  EXPECT_EQ(Spaced(rec.TxData), "02 03 41 42 43 43");
  EXPECT_EQ(rec.RxData, AnswerFrame("41 00 01 02"));
  EXPECT_EQ(Spaced(dev.Received()), "05 02 03 41 42 43 43 06");
}

TEST_F(LinkOverPty, StandardRetransmissionAndDamagedAnswer) {
  TPrinterProtocol protocol(port, params);
  const std::string frame = Bytes("02 01 41 40");
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(frame, Bytes("15")),  // rejected: sent again
      pty::Exchange(frame, "\x06" + AnswerFrame("41 00 09", true)),
      pty::Expect(Bytes("15")),  // the damaged answer refused
      pty::Exchange(Bytes("05"), "\x06" + AnswerFrame("41 00 09")),
      pty::Expect(Bytes("06")),
  });
  TCommandRec rec = Command("41");
  protocol.Send(rec);
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(Spaced(rec.Answer), "41 00 09");
}

TEST_F(LinkOverPty, StandardDrainsTheLineAfterTheDevicesOwnEnq) {
  params->Timeout = 500;  // the drain must end on its own 100 ms, not on this
  TPrinterProtocol protocol(port, params);
  dev.Run({
      pty::Exchange(Bytes("05"), Bytes("05 33 44 55")).Gap(5),
      pty::Exchange(Bytes("05"), Bytes("15")),
      pty::Exchange(Bytes("02 01 41 40"), "\x06" + AnswerFrame("41 00")),
      pty::Expect(Bytes("06")),
  });
  TCommandRec rec = Command("41");
  protocol.Send(rec);
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(Spaced(rec.Answer), "41 00");
  EXPECT_EQ(Spaced(dev.Received()), "05 05 02 01 41 40 06");
}

TEST_F(LinkOverPty, StandardSilentDeviceGetsFiveEnqsWithAReopenEach) {
  params->Timeout = 30;
  TPrinterProtocol protocol(port, params);
  dev.Run({pty::Silence(3000)});
  TCommandRec rec = Command("41");
  EXPECT_EQ(CodeOf(protocol, rec), E_NOCONNECTION);
  EXPECT_EQ(Spaced(dev.Received()), "05 05 05 05 05");
  EXPECT_TRUE(port->GetOpened());  // reopened after each ENQ
  dev.Stop();
}

TEST_F(LinkOverPty, Protocol2SynchronisesThenSendsCommands) {
  TPrinterProtocol2 protocol(port, params);
  dev.Run({
      pty::Exchange(Bytes("8F 00 00 0F 1D"), DeviceFrame(0x0120, "")),
      pty::Exchange(DeviceFrame(0x0121, "41 8F"), DeviceFrame(0x0121, "41 00 9F 8F")).After(10),
      pty::Exchange(DeviceFrame(0x0122, "42"), DeviceFrame(0x0122, "42 00")).Gap(2),
  });
  TCommandRec first = Command("41 8F");
  protocol.Send(first);
  EXPECT_EQ(Spaced(first.Answer), "41 00 9F 8F");
  EXPECT_EQ(first.RxData, DeviceFrame(0x0120, "") + DeviceFrame(0x0121, "41 00 9F 8F"));
  TCommandRec second = Command("42");
  protocol.Send(second);
  EXPECT_EQ(Spaced(second.Answer), "42 00");
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(protocol.FrameNumber(), 0x0123);
}

TEST_F(LinkOverPty, Protocol2SendsAgainAfterACrcErrorAndResynchronisesOnAForeignNumber) {
  TPrinterProtocol2 protocol(port, params);
  dev.Run({
      pty::Exchange(Bytes("8F 00 00 0F 1D"), DeviceFrame(4, "")),
      pty::Exchange(DeviceFrame(5, "41"), DeviceFrame(5, "41 00", 0x1111)),
      pty::Exchange(DeviceFrame(5, "41"), DeviceFrame(3, "41 00")),  // an old answer
      pty::Exchange(Bytes("8F 00 00 0F 1D"), DeviceFrame(8, "")),
      pty::Exchange(DeviceFrame(9, "41"), DeviceFrame(9, "41 00 05")),
  });
  TCommandRec rec = Command("41");
  protocol.Send(rec);
  EXPECT_TRUE(dev.Finish());
  EXPECT_EQ(Spaced(rec.Answer), "41 00 05");
}

TEST_F(LinkOverPty, RemovalMidCommandFailsItAndTheNextCommandWorksOnceTheDeviceIsBack) {
  {
    TPrinterProtocol protocol(port, params);
    dev.Run({pty::Exchange(Bytes("05"), Bytes("15")), pty::Expect(Bytes("02 01 41 40")),
             pty::Remove()});
    TCommandRec rec = Command("41");
    rec.Answer = "old";
    EXPECT_EQ(CodeOf(protocol, rec), E_NOCONNECTION);
    EXPECT_EQ(rec.Answer, "old");
    EXPECT_FALSE(port->GetOpened());
    EXPECT_TRUE(dev.Finish());

    dev.Restore();
    port->Open();
    dev.Run({pty::Exchange(Bytes("05"), Bytes("15")),
             pty::Exchange(Bytes("02 01 41 40"), "\x06" + AnswerFrame("41 00")),
             pty::Expect(Bytes("06"))});
    protocol.Send(rec);
    EXPECT_TRUE(dev.Finish());
    EXPECT_EQ(Spaced(rec.Answer), "41 00");
  }
  {
    // Removed while the answer comes in: still the link's error, no reopening.
    TPrinterProtocol protocol(port, params);
    dev.Run({pty::Exchange(Bytes("05"), Bytes("15")),
             pty::Exchange(Bytes("02 01 41 40"), Bytes("06 02 05 41")), pty::Remove()});
    TCommandRec rec = Command("41");
    EXPECT_EQ(CodeOf(protocol, rec), E_NOCONNECTION);
    EXPECT_FALSE(port->GetOpened());
    EXPECT_TRUE(dev.Finish());
    dev.Restore();
    port->Open();
  }
  {
    TPrinterProtocol2 protocol(port, params);
    dev.Run({pty::Exchange(Bytes("8F 00 00 0F 1D"), DeviceFrame(0, "")),
             pty::Expect(DeviceFrame(1, "41")), pty::Remove()});
    TCommandRec rec = Command("41");
    EXPECT_EQ(CodeOf(protocol, rec), E_NOCONNECTION);
    EXPECT_FALSE(port->GetOpened());
    EXPECT_TRUE(dev.Finish());

    dev.Restore();
    port->Open();
    dev.Run({pty::Exchange(DeviceFrame(1, "41"), DeviceFrame(1, "41 00"))});
    protocol.Send(rec);
    EXPECT_TRUE(dev.Finish());
    EXPECT_EQ(Spaced(rec.Answer), "41 00");
  }
}

}  // namespace
