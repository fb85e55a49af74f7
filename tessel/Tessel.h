#pragma once
// TTessel: the stand-in fiscal-register driver. Every device method is a
// command of the command table (tessel/CommandTable.h): its request is
// encoded from the properties, carried by the transport that ConnectionType
// names, and its answer decoded into the output properties. A catalogued
// method without a command answers kResultNotSupported.
//
// After every device method ECRInput and ECROutput hold the command and the
// answer as hexadecimal text ("11 1E 00 00 00"), ResultCode the result:
// 0, the device's error byte, a link code (-1, -2, -3) or one of the
// driver's own codes below, with its text in ResultCodeDescription.
//
// A device method on an instance that is not connected connects first
// (without the check command of Connect). WaitForPrinting repeats the short
// status while the printer sub-mode is 4 or 5 (printing), for at most ten
// times Timeout, and then answers 80.

#include <memory>

#include "driver/StoredDriver.h"
#include "tessel/Codec.h"
#include "tessel/CommandTable.h"
#include "tessel/Transport.h"

// The driver's own result codes (negative, like the link's).
inline constexpr int kResultBadAnswer = -101;       // an answer that does not fit the command
inline constexpr int kResultBadValue = -102;        // an input that does not fit its field
inline constexpr int kResultConnectionType = -103;  // no transport for this ConnectionType

// ConnectionType of the in-process virtual KKT, the stand-in's default.
inline constexpr int kConnectionInProcess = 7;

// The version the stand-in reports: 4.15.0.600.
inline constexpr int kTesselMajorVersion = 4;
inline constexpr int kTesselMinorVersion = 15;
inline constexpr int kTesselRelease = 0;
inline constexpr int kTesselBuild = 600;

// The text of any result code the driver produces (0, device error bytes,
// link codes, the driver's own codes), translated.
QString TesselResultDescription(int Code);

class TTessel : public TStoredDriver {
 public:
  TTessel();
  ~TTessel() override;

 private:
  int DoCall(TMethodId Id) override;

  // The method's command with the given password.
  int RunCommand(const tessel::TCommandDef& Command, int Password);
  // Opens the transport of ConnectionType when it is not open; the result
  // code of a failure, else 0 (nothing finished yet).
  int EnsureOpen();
  int RunConnect();
  int RunDisconnect();
  int RunExchangeBytes();
  int RunWaitForPrinting();
  int RunReadErrorDescription();
  // Properties derived from an answer beyond the table's bindings.
  void AfterAnswer(const tessel::TAnswer& Answer);
  // Sends a block: ECRInput and ECROutput, the link's error as a code. Returns
  // 0 and the answer, or the failure's code (already finished).
  int Send(const std::string& Block, std::string& Answer);
  int FinishCode(int Code);

  tessel::PTransport FTransport;
};

// Makes TTessel the driver that CreateDriver creates.
void RegisterTesselDriver();
