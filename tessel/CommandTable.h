#pragma once
// The command set of the stand-in driver and its virtual KKT: one table, read
// by the driver's encoder and by the device's decoder alike.
//
// A command block is the command code (one byte, or 0xFF and a second byte),
// the operator's 4-byte password (least significant byte first) when the
// command carries one, then the request fields in table order. An answer
// block is the command code, the device's error byte and, when the error byte
// is 0, the answer fields in table order; an answer with a non-zero error byte
// carries nothing else. The answer to a command with a password starts its
// fields with the number of the operator whose password it carried. No block is longer than
// kMaxBlockLength bytes; data that do not fit go in several commands.
//
// Wire types (multi-byte values little-endian):
//   UInt     unsigned integer of Size bytes (1..8)
//   Money    signed 5-byte count of kopecks (1/100 of the currency unit)
//   Quantity unsigned 5-byte count of 1/1000000: a fixed-point number with six
//            decimals (quantities, percentages, voltages)
//   Text     Windows-1251 text of Size bytes, padded with zero bytes; Size 0:
//            the rest of the block (only as the last field)
//   Bytes    Size raw bytes; Size 0: the rest of the block (last field only)
//   Date     3 bytes DD MM YY (YY = year - 2000); 00 00 00 is no date
//   Time     3 bytes HH MM SS
//   Bits     one byte whose bit i is the Boolean property Bind[i]
//
// Each field names the driver properties it binds to: a request field takes
// its value from the property before the command is sent, an answer field
// stores its value into the property after success. A field without a
// binding goes on the wire as 0 (or empty) unless the method's own code sets
// it, and is not stored.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "driver/Catalogue.h"

namespace tessel {

inline constexpr int kMaxBlockLength = 255;

enum class TWireType { UInt, Money, Quantity, Text, Bytes, Date, Time, Bits };

// "UInt", "Money", ... as the documentation writes them.
const char* WireTypeName(TWireType Type);

struct TFieldDef {
  std::string Name;  // the field's name in handlers and in the documentation
  TWireType Type = TWireType::UInt;
  int Size = 1;                   // bytes on the wire; 0 for "the rest" of Text and Bytes
  std::vector<TPropertyId> Bind;  // none, one property, or for Bits one per bit from bit 0
  std::string Note;               // what the field means, for the documentation
};

struct TCommandDef {
  std::uint16_t Code = 0;  // 0x00..0xFE: one byte; 0xFF00 | n: the two bytes FF n
  std::string Name;        // short English name of the command
  bool HasPassword = true;
  std::vector<TFieldDef> Request;
  std::vector<TFieldDef> Answer;
  // The driver methods that send this command (several methods may share one
  // command; a method has at most one command of its own).
  std::vector<TMethodId> Methods;
  std::string Note;  // what the command does, for the documentation
};

// Codes of the commands that other code names directly.
namespace cmd {
inline constexpr std::uint16_t kShortStatus = 0x10;
inline constexpr std::uint16_t kStatus = 0x11;  // the 50-byte status record
inline constexpr std::uint16_t kDeviceMetrics = 0x12;
inline constexpr std::uint16_t kModelParam = 0x13;
inline constexpr std::uint16_t kModelParamByIndex = 0x14;
inline constexpr std::uint16_t kSerialNumber = 0x15;
inline constexpr std::uint16_t kFontMetrics = 0x16;
inline constexpr std::uint16_t kBeep = 0x18;
inline constexpr std::uint16_t kGetExchangeParam = 0x19;
inline constexpr std::uint16_t kSetExchangeParam = 0x1A;
inline constexpr std::uint16_t kReadTable = 0x20;
inline constexpr std::uint16_t kWriteTable = 0x21;
inline constexpr std::uint16_t kTableStruct = 0x22;
inline constexpr std::uint16_t kFieldStruct = 0x23;
inline constexpr std::uint16_t kInitTables = 0x24;
inline constexpr std::uint16_t kSetDate = 0x30;
inline constexpr std::uint16_t kConfirmDate = 0x31;
inline constexpr std::uint16_t kSetTime = 0x32;
inline constexpr std::uint16_t kPrintString = 0x40;
inline constexpr std::uint16_t kPrintStringWithFont = 0x41;
inline constexpr std::uint16_t kPrintWideString = 0x42;
inline constexpr std::uint16_t kFeedDocument = 0x43;
inline constexpr std::uint16_t kCutCheck = 0x44;
inline constexpr std::uint16_t kOpenSession = 0x50;
inline constexpr std::uint16_t kZReport = 0x51;
inline constexpr std::uint16_t kXReport = 0x52;
inline constexpr std::uint16_t kCashIncome = 0x60;
inline constexpr std::uint16_t kCashOutcome = 0x61;
inline constexpr std::uint16_t kCashReg = 0x62;
inline constexpr std::uint16_t kOperationReg = 0x63;
inline constexpr std::uint16_t kOpenDrawer = 0x64;
inline constexpr std::uint16_t kCashRegEx = 0x65;
inline constexpr std::uint16_t kEKLZVersion = 0x70;  // the old electronic journal
inline constexpr std::uint16_t kSale = 0x80;
inline constexpr std::uint16_t kBuy = 0x81;
inline constexpr std::uint16_t kReturnSale = 0x82;
inline constexpr std::uint16_t kReturnBuy = 0x83;
inline constexpr std::uint16_t kStorno = 0x84;
inline constexpr std::uint16_t kCloseCheck = 0x85;
inline constexpr std::uint16_t kDiscount = 0x86;
inline constexpr std::uint16_t kCharge = 0x87;
inline constexpr std::uint16_t kCancelCheck = 0x88;  // cancels the open receipt
inline constexpr std::uint16_t kSubTotal = 0x89;
inline constexpr std::uint16_t kOpenCheck = 0x8A;
inline constexpr std::uint16_t kStornoDiscount = 0x8B;
inline constexpr std::uint16_t kStornoCharge = 0x8C;
// The FN (fiscal storage) commands: FF and a second byte.
inline constexpr std::uint16_t kFNStatus = 0xFF01;
inline constexpr std::uint16_t kFNSerial = 0xFF02;
inline constexpr std::uint16_t kFNExpiration = 0xFF03;
inline constexpr std::uint16_t kFNVersion = 0xFF04;
}  // namespace cmd

// The Boolean properties the driver derives from the device flags of the
// status answers (FlagsFR/Flags, 16 bits; bit 5 is "an FN is present", which
// no property shows) and from the fiscal-memory flags (FlagsFP, 8 bits).
struct TFlagBit {
  int Bit;
  TPropertyId Property;
};
std::span<const TFlagBit> ECRFlagBits();
std::span<const TFlagBit> FMFlagBits();

// Every command, ordered by code.
std::span<const TCommandDef> AllCommands();
// The command with this code, or null.
const TCommandDef* FindCommand(std::uint16_t Code);
// The command a method sends, or null when the method has none.
const TCommandDef* CommandOfMethod(TMethodId Method);

// "11" or "FF 01": the code as it stands at the head of a block.
std::string CodeText(std::uint16_t Code);
// The wire bytes of the code: one byte, or FF and the second byte.
std::string CodeBytes(std::uint16_t Code);
// The fixed length of a field on the wire, 0 for a "rest of the block" field.
int FieldLength(const TFieldDef& Field);

}  // namespace tessel
