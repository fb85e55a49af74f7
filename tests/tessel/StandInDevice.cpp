#include "StandInDevice.h"

#include "tessel/Codec.h"
#include "tessel/DeviceErrors.h"

using namespace tessel;

std::string TStandInDevice::Execute(const std::string& Command) {
  ++Commands;
  if (!ScriptedAnswer.empty()) return std::exchange(ScriptedAnswer, {});
  TRequest R;
  try {
    R = DecodeRequest(Command);
  } catch (const ECodecError& E) {
    const std::uint16_t Code = Command.empty() ? 0 : BlockCode(Command);
    return ErrorAnswer(Code, E.Kind() == ECodecError::TKind::UnknownCommand
                                 ? err::kCommandNotSupported
                                 : err::kBadFormat);
  }
  const TCommandDef& C = *R.Command;
  if (C.HasPassword && R.Password != 30 && R.Password != 1)
    return ErrorAnswer(C.Code, err::kBadPassword);
  TFieldValues A(C.Answer);
  if (A.Has("OperatorNumber")) A.Set("OperatorNumber", R.Password == 30 ? 30 : 1);
  switch (C.Code) {
    case cmd::kStatus:
      A.Set("VersionFR", QStringLiteral("C.3"));
      A.Set("DateFR", QDate(2019, 3, 1));
      A.Set("ModeFr", Mode | (Mode == 8 ? 0x10 : 0));
      A.Set("FlagsFR", 0x0011);  // receipt ribbon, two decimals
      A.Set("Date", QDate(2026, 1, 15));
      A.Set("Time", QTime(10, 0, 0));
      A.Set("SerialNumber", 123456);
      A.Set("INN", Q_UINT64_C(7701234567));
      A.Set("FlagsFP", 0x03);
      break;
    case cmd::kShortStatus:
      A.Set("Mode", Mode);
      A.Set("Flags", 0x0001);
      break;
    case cmd::kDeviceMetrics:
      A.Set("Model", 45);
      A.Set("Description", QStringLiteral("Стенд"));
      break;
    case cmd::kModelParam:
      if (R.Fields.UInt("ParamNumber") == 28) {
        A.Set("ValueType", 1);
        A.Set("Value", 0);
      } else if (R.Fields.UInt("ParamNumber") == 53) {
        A.Set("Value", 255);
      } else {
        return ErrorAnswer(C.Code, err::kFieldMissing);
      }
      break;
    case cmd::kReadTable:
      if (R.Fields.UInt("Table") != 18) return ErrorAnswer(C.Code, err::kFieldMissing);
      A.Set("Text", TableText);
      break;
    case cmd::kWriteTable:
      if (R.Fields.UInt("Table") != 18) return ErrorAnswer(C.Code, err::kFieldMissing);
      TableText = R.Fields.Text("Text");
      break;
    case cmd::kBeep:
      break;
    case cmd::kOpenSession:
      if (Mode != 4) return ErrorAnswer(C.Code, err::kShiftOpen);
      Mode = 2;
      break;
    case cmd::kSale:
      if (Mode != 2 && Mode != 8) return ErrorAnswer(C.Code, err::kShiftClosed);
      Mode = 8;
      ReceiptTotal += static_cast<std::uint64_t>(R.Fields.Money("Price").Units() / 100 *
                                                 R.Fields.Quantity("Quantity"));
      break;
    case cmd::kCancelCheck:
      if (Mode != 8) return ErrorAnswer(C.Code, err::kNoReceipt);
      Mode = 2;
      ReceiptTotal = 0;
      break;
    case cmd::kCloseCheck: {
      if (Mode != 8) return ErrorAnswer(C.Code, err::kNoReceipt);
      const std::int64_t Paid = R.Fields.Money("Summ1").Units() / 100;
      if (Paid < static_cast<std::int64_t>(ReceiptTotal))
        return ErrorAnswer(C.Code, err::kPaymentShort);
      A.Set("Change", QVariant::fromValue(TMoney::FromUnits((Paid - ReceiptTotal) * 100)));
      Mode = 2;
      ReceiptTotal = 0;
      break;
    }
    default:
      return ErrorAnswer(C.Code, err::kCommandNotSupported);
  }
  return EncodeAnswer(C, 0, A);
}
