#pragma once
// The choice of link protocol for a served port: 1 selects protocol 2, every
// other value the standard protocol.

#include "halden/link/Link.h"

class TPrinterProtocolFactory {
 public:
  virtual ~TPrinterProtocolFactory() = default;
  virtual PPrinterProtocol Instance(PSerialPort APort, PConnectionParams AParams) const = 0;
};

class TPrinterProtocolStdFactory : public TPrinterProtocolFactory {
 public:
  PPrinterProtocol Instance(PSerialPort APort, PConnectionParams AParams) const override;
};

class TPrinterProtocol2Factory : public TPrinterProtocolFactory {
 public:
  PPrinterProtocol Instance(PSerialPort APort, PConnectionParams AParams) const override;
};

// The factory for a protocol type.
const TPrinterProtocolFactory& ProtocolFactoryOf(int ProtocolType);
