#pragma once
// The error bytes of the virtual KKT's answers and their texts. The driver
// passes a non-zero error byte on as its result code, with the text as
// ResultCodeDescription; the device answers them from its handlers.
//
// 8, 55, 75, 80 and 93 are the codes the programs interpret (see
// driver/ResultCodes.h); the rest are this device's own.

#include <QString>
#include <span>

namespace tessel::err {

inline constexpr int kNone = 0x00;
inline constexpr int kBadFormat = 0x01;          // the block does not fit the command's layout
inline constexpr int kBadParameter = 0x02;       // a value out of its range
inline constexpr int kBadPassword = 0x03;        // wrong operator or administrator password
inline constexpr int kBadMode = 0x04;            // not allowed in the device's current mode
inline constexpr int kEndOfData = 0x08;          // a read loop has no more data
inline constexpr int kShiftOpen = 0x10;          // the shift is open
inline constexpr int kShiftClosed = 0x11;        // the shift is closed
inline constexpr int kShiftOver24h = 0x12;       // the shift has lasted more than 24 hours
inline constexpr int kReceiptOpen = 0x13;        // a receipt is open
inline constexpr int kNoReceipt = 0x14;          // no receipt is open
inline constexpr int kPaymentShort = 0x15;       // the payments do not cover the receipt total
inline constexpr int kCashShort = 0x16;          // not enough cash in the drawer
inline constexpr int kRegisterOverflow = 0x17;   // a register would overflow
inline constexpr int kDateBeforeLast = 0x18;     // the date precedes the last document's date
inline constexpr int kDateNotConfirmed = 0x19;   // a set date awaits its confirmation
inline constexpr int kNoPaper = 0x20;            // the paper has run out
inline constexpr int kNoSuchRegister = 0x21;     // a register number the device lacks
inline constexpr int kCommandNotSupported = 55;  // the device does not know the command
inline constexpr int kPrintingPending = 75;      // waiting for the continue-printing command
inline constexpr int kPrinting = 80;             // still printing the previous command
inline constexpr int kFieldMissing = 93;         // a table or field the model does not have

// The text of an error byte, translated; "Неизвестная ошибка устройства" for
// a byte this device never answers.
QString DeviceErrorDescription(int Code);
// The bytes DeviceErrorDescription knows, in ascending order.
std::span<const int> KnownDeviceErrors();

}  // namespace tessel::err
