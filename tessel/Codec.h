#pragma once
// Encoding and decoding of command and answer blocks by the command table.
//
// The driver encodes a request from its properties and decodes the answer
// into them; the virtual KKT decodes the request and encodes its answer with
// the same functions, so both ends always agree on the layout:
//
//   // driver side
//   const TCommandDef& Def = *FindCommand(cmd::kReadTable);
//   TFieldValues Request(Def.Request);
//   ReadBindings(Request, GetProperty);            // TableNumber, RowNumber, FieldNumber
//   std::string Block = EncodeRequest(Def, Password, Request);
//   TAnswer Answer = DecodeAnswer(Def, Transport.Exchange(Block, Timeout));
//   if (Answer.Error == 0) WriteBindings(Answer.Fields, SetProperty);
//
//   // device side
//   TRequest Request = DecodeRequest(Block);       // raises ECodecError
//   TFieldValues Out(Request.Command->Answer);
//   Out.Set("ValueOfFieldString", QStringLiteral("ООО Ромашка"));
//   return EncodeAnswer(*Request.Command, 0, Out);
//
// Values by wire type: UInt and Bits are quint64, Money TMoney, Quantity
// double, Text QString, Bytes QByteArray, Date QDate, Time QTime.

#include <QVariant>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "driver/Money.h"
#include "tessel/CommandTable.h"

namespace tessel {

// A block that does not fit the table, or a value that does not fit its field.
class ECodecError : public std::runtime_error {
 public:
  enum class TKind {
    UnknownCommand,  // the block's code is not in the table
    BadLength,       // the block is shorter or longer than its layout
    BadValue,        // a value does not fit its field (range, length, type)
    TooLong,         // the encoded block exceeds kMaxBlockLength
  };
  ECodecError(TKind Kind, const std::string& Message) : std::runtime_error(Message), FKind(Kind) {}
  TKind Kind() const { return FKind; }

 private:
  TKind FKind;
};

// The values of one side (request or answer) of a command, one per field,
// starting as each wire type's zero value.
class TFieldValues {
 public:
  TFieldValues() = default;
  explicit TFieldValues(std::span<const TFieldDef> Fields);

  std::span<const TFieldDef> Fields() const { return FFields; }
  bool Has(std::string_view Name) const { return IndexOf(Name) >= 0; }
  // By field name; an unknown name raises std::invalid_argument (a fault of
  // the calling code, not of the block).
  const QVariant& Get(std::string_view Name) const;
  // Converts the value to the field's value type; a value that does not
  // convert raises ECodecError (BadValue).
  void Set(std::string_view Name, const QVariant& Value);

  const QVariant& At(int Index) const { return FValues[Index]; }
  void SetAt(int Index, const QVariant& Value);

  // Typed reads (the field must be of a matching wire type).
  std::uint64_t UInt(std::string_view Name) const;
  TMoney Money(std::string_view Name) const;
  double Quantity(std::string_view Name) const;
  QString Text(std::string_view Name) const;
  QByteArray Bytes(std::string_view Name) const;
  QDate Date(std::string_view Name) const;
  QTime Time(std::string_view Name) const;

 private:
  int IndexOf(std::string_view Name) const;
  int Require(std::string_view Name) const;

  std::span<const TFieldDef> FFields;
  std::vector<QVariant> FValues;
};

struct TRequest {
  const TCommandDef* Command = nullptr;
  std::uint32_t Password = 0;  // 0 for a command without a password
  TFieldValues Fields;
};

struct TAnswer {
  const TCommandDef* Command = nullptr;
  int Error = 0;  // the device's error byte
  TFieldValues Fields;
};

// The zero value of a wire type (0, empty text and bytes, null date and time).
QVariant ZeroValue(TWireType Type);

// The command code at the head of a block: one byte, or FF and the next byte.
// Raises ECodecError (BadLength) for an empty block or a lone FF.
std::uint16_t BlockCode(std::string_view Block);

std::string EncodeRequest(const TCommandDef& Command, std::uint32_t Password,
                          const TFieldValues& Fields);
// Finds the command by the block's code and decodes password and fields.
TRequest DecodeRequest(std::string_view Block);

// An answer with a non-zero error byte carries only code and error byte.
std::string EncodeAnswer(const TCommandDef& Command, int Error, const TFieldValues& Fields);
// The code and error byte alone: the answer to a block the device cannot read.
std::string ErrorAnswer(std::uint16_t Code, int Error);
// The answer must start with the command's code. An answer with a non-zero
// error byte may carry anything after it; its fields stay zero.
TAnswer DecodeAnswer(const TCommandDef& Command, std::string_view Block);

// Property bindings. ReadBindings fills every bound field from the property
// values that Get returns; WriteBindings hands every bound field's value to
// Set, converted to the property's type:
//   UInt  -> Int, Int64, Bool (non-zero), Text (decimal), Double, Variant
//   Money -> Money; Quantity -> Double; Text -> Text;
//   Bytes -> Bytes, Text (upper-case hex pairs separated by blanks);
//   Date -> Date, DateTime; Time -> Time; Bits -> one Bool per bit.
// The reverse conversions apply for ReadBindings (a Text property bound to
// UInt is read as a decimal number, to Bytes as hex text).
using TPropertyGetter = std::function<QVariant(TPropertyId)>;
using TPropertySetter = std::function<void(TPropertyId, const QVariant&)>;
void ReadBindings(TFieldValues& Fields, const TPropertyGetter& Get);
void WriteBindings(const TFieldValues& Fields, const TPropertySetter& Set);

}  // namespace tessel
