#include "tessel/CommandDoc.h"

#include <QString>

#include "tessel/CommandTable.h"
#include "tessel/DeviceErrors.h"

namespace tessel {

namespace {

std::string Hex2(int V) {
  return QStringLiteral("%1").arg(V, 2, 16, QChar('0')).toUpper().toStdString();
}

std::string TypeText(const TFieldDef& F) {
  switch (F.Type) {
    case TWireType::UInt:
      return "UInt" + std::to_string(F.Size * 8);
    case TWireType::Text:
    case TWireType::Bytes:
      return std::string(WireTypeName(F.Type)) +
             (F.Size > 0 ? "(" + std::to_string(F.Size) + ")" : "(rest)");
    default:
      return WireTypeName(F.Type);
  }
}

std::string BindText(const TFieldDef& F) {
  std::string Out;
  for (std::size_t I = 0; I < F.Bind.size(); ++I) {
    if (!Out.empty()) Out += ", ";
    if (F.Type == TWireType::Bits) Out += "bit " + std::to_string(I) + " ";
    Out += std::string("`") + PropertyName(F.Bind[I]) + "`";
  }
  return Out.empty() ? "—" : Out;
}

void FieldTable(std::string& Out, const std::vector<TFieldDef>& Fields, int Offset) {
  Out += "| Offset | Size | Field | Type | Property | Meaning |\n";
  Out += "|---|---|---|---|---|---|\n";
  for (const TFieldDef& F : Fields) {
    Out += "| " + std::to_string(Offset) + " | " + (F.Size > 0 ? std::to_string(F.Size) : "rest") +
           " | " + F.Name + " | " + TypeText(F) + " | " + BindText(F) + " | " + F.Note + " |\n";
    Offset += F.Size;
  }
}

std::string MethodsText(const TCommandDef& C) {
  std::string Out;
  for (TMethodId M : C.Methods) {
    if (!Out.empty()) Out += ", ";
    Out += std::string("`") + MethodName(M) + "`";
  }
  return Out.empty() ? "—" : Out;
}

}  // namespace

std::string CommandTableMarkdown() {
  std::string Out;
  Out += "# The KKT command set\n\n";
  Out +=
      "<!-- Made from tessel/CommandTable.cpp by tessel::CommandTableMarkdown(); the test "
      "CommandDocTest keeps this file equal to it. -->\n\n";
  Out +=
      "The stand-in driver (`tessel`) sends every device method as one of these command blocks, "
      "and the virtual KKT (`tessel/vkkt`) answers them; both read the same table.\n\n"
      "## Blocks\n\n"
      "- A **command block** is the command code (one byte, or `FF` and a second byte), the "
      "4-byte password (least significant byte first) where the table says so, then the request "
      "fields in order.\n"
      "- An **answer block** is the command code, the error byte, and — only when the error byte "
      "is 0 — the answer fields in order. A non-zero error byte is the driver's result code.\n"
      "- No block is longer than 255 bytes. Offsets below count from the first byte of the "
      "block.\n"
      "- A request field takes its value from the property named beside it before the command is "
      "sent; an answer field is stored into its property after success. A field without a "
      "property is filled or read by the method's own code.\n\n"
      "## Wire types\n\n"
      "| Type | Form |\n|---|---|\n"
      "| UInt8 … UInt64 | unsigned integer of 1 … 8 bytes, little-endian |\n"
      "| Money | signed 5-byte integer (two's complement, little-endian): kopecks, 1/100 of the "
      "currency unit; the driver's four-decimal money is rounded to kopecks |\n"
      "| Quantity | unsigned 5-byte integer: millionths (six decimals) |\n"
      "| Text(n) | Windows-1251 text of n bytes, padded with zero bytes; a longer text is cut |\n"
      "| Text(rest) | Windows-1251 text filling the rest of the block |\n"
      "| Bytes(n), Bytes(rest) | raw bytes |\n"
      "| Date | 3 bytes: day, month, year − 2000; `00 00 00` is no date |\n"
      "| Time | 3 bytes: hours, minutes, seconds |\n"
      "| Bits | one byte, bit i is the i-th Boolean property named |\n\n"
      "## Error bytes\n\n"
      "| Byte | Meaning |\n|---|---|\n";
  for (int Code : err::KnownDeviceErrors()) {
    Out += "| " + Hex2(Code) + " (" + std::to_string(Code) + ") | " +
           err::DeviceErrorDescription(Code).toStdString() + " |\n";
  }
  Out +=
      "\n## Device flags\n\nThe status answers carry the device flags (`FlagsFR`, `Flags`: 16 "
      "bits) "
      "and the fiscal-memory flags (`FlagsFP`: 8 bits). Besides `ECRFlags` and `FMFlags` the "
      "driver sets one Boolean property per bit; bit 5 of the device flags means that an FN is "
      "present and has no property of its own.\n\n| Flags | Bit | Property |\n|---|---|---|\n";
  for (const TFlagBit& B : ECRFlagBits()) {
    Out += "| device | " + std::to_string(B.Bit) + " | `" + PropertyName(B.Property) + "` |\n";
  }
  for (const TFlagBit& B : FMFlagBits()) {
    Out +=
        "| fiscal memory | " + std::to_string(B.Bit) + " | `" + PropertyName(B.Property) + "` |\n";
  }
  Out += "\n## Commands\n\n| Code | Command | Password | Methods |\n|---|---|---|---|\n";
  for (const TCommandDef& C : AllCommands()) {
    Out += "| " + CodeText(C.Code) + " | " + C.Name + " | " + (C.HasPassword ? "yes" : "no") +
           " | " + MethodsText(C) + " |\n";
  }
  for (const TCommandDef& C : AllCommands()) {
    const int CodeLength = C.Code > 0xFF ? 2 : 1;
    Out += "\n### " + CodeText(C.Code) + " " + C.Name + "\n\n";
    if (!C.Note.empty()) Out += C.Note + "\n\n";
    Out += "Methods: " + MethodsText(C) + ".\n\n";
    Out += "Request: code" + std::string(C.HasPassword ? ", password (UInt32)" : "");
    if (C.Request.empty()) {
      Out += ", nothing else.\n\n";
    } else {
      Out += ", then:\n\n";
      FieldTable(Out, C.Request, CodeLength + (C.HasPassword ? 4 : 0));
      Out += "\n";
    }
    Out += "Answer: code, error byte";
    if (C.Answer.empty()) {
      Out += ", nothing else.\n";
    } else {
      Out += ", then:\n\n";
      FieldTable(Out, C.Answer, CodeLength + 1);
    }
  }
  return Out;
}

}  // namespace tessel
