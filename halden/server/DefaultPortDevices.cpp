// The serial port and protocol of a served port on the real line.

#include "halden/link/ComPort.h"
#include "halden/link/ProtocolFactory.h"
#include "halden/server/PrinterPorts.h"

TPortDevices DefaultPortDevices(const PConnectionParams& Params) {
  TPortDevices result;
  result.Port = std::make_shared<TComPort>(Params);
  result.Protocol = ProtocolFactoryOf(Params->ProtocolType).Instance(result.Port, Params);
  return result;
}
