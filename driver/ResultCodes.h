#pragma once
// Result codes of the driver that the programs interpret themselves. Any
// other code is only shown (with ResultCodeDescription) or ends a sequence.

#include <QString>

inline constexpr int kResultOk = 0;
// FN read loops (documents in TLV, notification blocks): no more data.
inline constexpr int kResultEndOfData = 8;
// The device is still printing: callers that print repeat the call.
inline constexpr int kResultPrinting = 80;
inline constexpr int kResultPrintingPending = 75;
// A table field that this model does not have (Kestrel reads it as empty).
inline constexpr int kResultFieldMissing = 93;
// The device's own answer to a command it does not know (TesselBench lists
// the commands that answer it).
inline constexpr int kResultCommandNotSupported = 55;
// The data stream of the electronic journal has ended.
inline constexpr int kResultJournalEndOfData = 169;
// The receipt database has no further document.
inline constexpr int kResultNoMoreDocuments = -41;
// A catalogued method that the driver implementation does not support. A
// driver-side code (negative, as the driver's own failures are), distinct
// from every code above and from the link's codes (-1, -2, -3, -8, -18).
inline constexpr int kResultNotSupported = -100;

// 80 or 75: repeat the print call.
constexpr bool IsPrintingBusy(int Code) {
  return Code == kResultPrinting || Code == kResultPrintingPending;
}

// "Метод не поддерживается драйвером", translated.
QString NotSupportedDescription();
