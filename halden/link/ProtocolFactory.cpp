#include "halden/link/ProtocolFactory.h"

#include <memory>
#include <utility>

#include "halden/link/PrinterProtocol.h"
#include "halden/link/PrinterProtocol2.h"

PPrinterProtocol TPrinterProtocolStdFactory::Instance(PSerialPort APort,
                                                      PConnectionParams AParams) const {
  return std::make_shared<TPrinterProtocol>(std::move(APort), std::move(AParams));
}

PPrinterProtocol TPrinterProtocol2Factory::Instance(PSerialPort APort,
                                                    PConnectionParams AParams) const {
  return std::make_shared<TPrinterProtocol2>(std::move(APort), std::move(AParams));
}

const TPrinterProtocolFactory& ProtocolFactoryOf(int ProtocolType) {
  static const TPrinterProtocolStdFactory standard;
  static const TPrinterProtocol2Factory protocol2;
  if (ProtocolType == 1) return protocol2;
  return standard;
}
