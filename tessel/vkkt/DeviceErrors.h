#pragma once
// The error bytes the virtual KKT answers with: the second byte of every
// answer block (the third after a two-byte command code); 0 is success. They
// are the error bytes of the driver's command set (tessel/DeviceErrors.h,
// where their texts are), named here by what the device found wrong; several
// findings share one byte.

#include <cstdint>

#include "tessel/DeviceErrors.h"

namespace vkkt {

namespace err = tessel::err;

enum TDeviceError : std::uint8_t {
  kOk = err::kNone,
  kBadLength = err::kBadFormat,           // the block does not fit the command's layout
  kBadParameter = err::kBadParameter,     // a value out of its range
  kBadDateTime = err::kBadParameter,      // no such date or time
  kBadRow = err::kBadParameter,           // the table has no such row
  kBadValue = err::kBadParameter,         // the value does not fit the field's type, size or limits
  kReadOnlyField = err::kBadParameter,    // the device keeps this field itself
  kNonCashExceeds = err::kBadParameter,   // payments other than cash exceed the receipt total
  kStornoExceeds = err::kBadParameter,    // the storno is larger than what the receipt holds
  kDiscountExceeds = err::kBadParameter,  // the discount is larger than the subtotal
  kWrongPassword = err::kBadPassword,     // no operator has this password
  kNeedsAdministrator = err::kBadPassword,     // the command needs the administrator's password
  kWrongMode = err::kBadMode,                  // not allowed in the current mode
  kWrongReceiptType = err::kBadMode,           // the operation does not fit the open receipt's type
  kEmptyReceipt = err::kBadMode,               // a receipt without operations cannot be closed
  kEndOfData = err::kEndOfData,                // a read loop has no more data
  kShiftOpen = err::kShiftOpen,                // the shift is open
  kShiftClosed = err::kShiftClosed,            // the shift is closed
  kShiftOver24Hours = err::kShiftOver24h,      // the shift has lasted more than 24 hours
  kReceiptOpen = err::kReceiptOpen,            // a receipt is open
  kNoReceipt = err::kNoReceipt,                // no receipt is open
  kPaymentShort = err::kPaymentShort,          // the payments do not cover the receipt total
  kNotEnoughCash = err::kCashShort,            // the drawer holds less cash than is paid out
  kOverflow = err::kRegisterOverflow,          // an amount or a register would overflow
  kDateNotConfirmed = err::kDateNotConfirmed,  // the date to confirm is not the one set
  kNoSuchRegister = err::kNoSuchRegister,      // a register number the device lacks
  kNotSupported = err::kCommandNotSupported,   // the model lacks this function
  kUnknownCommand = err::kCommandNotSupported,  // no such command
  kNoSuchField = err::kFieldMissing,            // the model has no such table or field
};

}  // namespace vkkt
