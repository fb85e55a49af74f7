#include "halden/link/ProtocolFactory.h"

#include <gtest/gtest.h>

#include <memory>

#include "halden/link/PrinterProtocol.h"
#include "halden/link/PrinterProtocol2.h"
#include "support/FakeSerialPort.h"

namespace {

TEST(ProtocolFactory, TypeOneSelectsProtocol2AndEveryOtherTheStandardProtocol) {
  auto port = std::make_shared<FakeSerialPort>();
  auto params = std::make_shared<TConnectionParams>();
  for (int type : {0, 1, 2, -1, 100}) {
    SCOPED_TRACE(type);
    const PPrinterProtocol protocol = ProtocolFactoryOf(type).Instance(port, params);
    ASSERT_TRUE(protocol);
    if (type == 1) {
      EXPECT_TRUE(std::dynamic_pointer_cast<TPrinterProtocol2>(protocol));
    } else {
      EXPECT_TRUE(std::dynamic_pointer_cast<TPrinterProtocol>(protocol));
    }
  }
  EXPECT_TRUE(port->Calls().empty());  // creation does not touch the port
}

}  // namespace
