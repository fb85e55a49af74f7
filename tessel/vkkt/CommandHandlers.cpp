// The virtual KKT's command decoder: one command block in, one answer block
// out, both read and written by the driver's command table and codec, so
// that device and driver always agree on the layout.

#include <cmath>
#include <cstdint>

#include "tessel/Codec.h"
#include "tessel/CommandTable.h"
#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

namespace vkkt {

namespace {

using tessel::TFieldValues;
namespace cmd = tessel::cmd;

QByteArray ToBytes(const std::string& S) {
  return QByteArray(S.data(), static_cast<qsizetype>(S.size()));
}

TMoneyUnits Kopecks(const TMoney& Value) {
  return Value.Units() / (TMoney::kScale / 100);
}

TMoney ToMoney(TMoneyUnits Kopecks) {
  return TMoney::FromUnits(Kopecks * (TMoney::kScale / 100));
}

std::int64_t Millionths(double Quantity) {
  return static_cast<std::int64_t>(std::llround(Quantity * 1'000'000.0));
}

std::uint8_t ErrorOf(const tessel::ECodecError& E) {
  switch (E.Kind()) {
    case tessel::ECodecError::TKind::UnknownCommand:
      return kUnknownCommand;
    case tessel::ECodecError::TKind::BadLength:
      return kBadLength;
    default:
      return kBadParameter;
  }
}

TItem ItemOf(const TFieldValues& R) {
  TItem I;
  I.Quantity = Millionths(R.Quantity("Quantity"));
  I.Price = Kopecks(R.Money("Price"));
  I.Department = static_cast<int>(R.UInt("Department"));
  I.Taxes = {static_cast<int>(R.UInt("Tax1")), static_cast<int>(R.UInt("Tax2")),
             static_cast<int>(R.UInt("Tax3")), static_cast<int>(R.UInt("Tax4"))};
  I.Text = R.Text("Text");
  return I;
}

void SetParamValue(TFieldValues& A, const TModelParam& P) {
  if (const bool* B = std::get_if<bool>(&P.Value)) {
    A.Set("ValueType", 1);
    A.Set("Value", *B ? 1 : 0);
  } else {
    A.Set("ValueType", 0);
    A.Set("Value", static_cast<qulonglong>(std::get<std::int64_t>(P.Value) & 0xFFFFFFFF));
  }
}

}  // namespace

QByteArray TDevice::Execute(const QByteArray& Command) {
  TLock L(FMutex);
  return ExecuteLocked(Command);
}

// A block the device cannot read is answered with its code and an error byte;
// an empty block gets an empty answer, as there is no code to answer with.
QByteArray TDevice::ExecuteLocked(const QByteArray& Command) {
  const std::string_view Block(Command.constData(), static_cast<std::size_t>(Command.size()));
  if (Block.empty()) return {};
  std::uint16_t Code = 0;
  try {
    Code = tessel::BlockCode(Block);
  } catch (const tessel::ECodecError&) {
    return QByteArray(Command.left(1)) + char(kBadLength);  // a lone FF
  }
  tessel::TRequest Request;
  try {
    Request = tessel::DecodeRequest(Block);
  } catch (const tessel::ECodecError& E) {
    return ToBytes(tessel::ErrorAnswer(Code, ErrorOf(E)));
  }
  const int ModeBefore = ECRMode();
  TFieldValues Answer(Request.Command->Answer);
  std::uint8_t Error = kOk;
  try {
    Error = Handle(Request, Answer);
  } catch (const tessel::ECodecError& E) {
    Error = ErrorOf(E);
  }
  if (ECRMode() != ModeBefore) FPreviousMode = ModeBefore;
  // Every answer to a command with a password names the operator it found.
  if (Error == kOk && Request.Command->HasPassword && Answer.Has("OperatorNumber"))
    Answer.Set("OperatorNumber", OperatorOf(Request.Password));
  try {
    return ToBytes(tessel::EncodeAnswer(*Request.Command, Error, Answer));
  } catch (const tessel::ECodecError& E) {
    return ToBytes(tessel::ErrorAnswer(Code, ErrorOf(E)));
  }
}

std::uint8_t TDevice::Handle(const tessel::TRequest& Request, TFieldValues& A) {
  const TFieldValues& R = Request.Fields;
  const std::uint32_t Pw = Request.Password;
  switch (Request.Command->Code) {
    // ---- Status and device facts -------------------------------------------
    case cmd::kShortStatus: {
      const int Operator = OperatorOf(Pw);
      if (!Operator) return kWrongPassword;
      FLastOperator = Operator;
      A.Set("OperatorNumber", Operator);
      A.Set("Flags", kDeviceFlags);
      A.Set("Mode", (ECRMode() & 0x0F) | ((ECRModeStatus() & 0x0F) << 4));
      A.Set("AdvancedMode", ECRAdvancedMode());
      A.Set("QuantityOfOperations", OperationsInReceipt());
      A.Set("BatteryVoltage", 3.1);
      A.Set("PowerSourceVoltage", 24.0);
      A.Set("PreviousMode", FPreviousMode);
      A.Set("PrinterHeadTemperature", 32);
      return kOk;
    }
    case cmd::kStatus: {
      const int Operator = OperatorOf(Pw);
      if (!Operator) return kWrongPassword;
      FLastOperator = Operator;
      FillStatus(Operator, A);
      return kOk;
    }
    case cmd::kDeviceMetrics:
      A.Set("MajorProtocolVersion", FIdentity.UMajorProtocolVersion);
      A.Set("MinorProtocolVersion", FIdentity.UMinorProtocolVersion);
      A.Set("MajorType", FIdentity.UMajorType);
      A.Set("MinorType", FIdentity.UMinorType);
      A.Set("Model", FIdentity.UModel);
      A.Set("CodePage", FIdentity.UCodePage);
      A.Set("ModelParamCount", static_cast<int>(ModelParams().size()));
      A.Set("CodePageText", QStringLiteral("Русский"));
      A.Set("Description", FIdentity.UDescription);
      return kOk;
    case cmd::kModelParam: {
      if (std::uint8_t E = Authenticate(Pw)) return E;
      TModelParam P{0, "", false};
      if (std::uint8_t E = ReadModelParam(static_cast<int>(R.UInt("ParamNumber")), P)) return E;
      SetParamValue(A, P);
      return kOk;
    }
    case cmd::kModelParamByIndex: {
      if (std::uint8_t E = Authenticate(Pw)) return E;
      TModelParam P{0, "", false};
      if (std::uint8_t E = ReadModelParamByIndex(static_cast<int>(R.UInt("Index")), P)) return E;
      A.Set("ParamNumber", P.Number);
      SetParamValue(A, P);
      A.Set("Description", QString::fromUtf8(P.Description));
      return kOk;
    }
    case cmd::kSerialNumber:
      if (std::uint8_t E = Authenticate(Pw)) return E;
      A.Set("SerialNumber", FIdentity.SerialNumber);
      return kOk;
    case cmd::kFontMetrics: {
      if (std::uint8_t E = Authenticate(Pw)) return E;
      const TFontMetrics* M = FontMetrics(static_cast<int>(R.UInt("Font")));
      if (!M) return kBadParameter;
      A.Set("PrintWidth", M->PrintWidth);
      A.Set("CharWidth", M->CharWidth);
      A.Set("CharHeight", M->CharHeight);
      A.Set("FontCount", kFontCount);
      return kOk;
    }
    case cmd::kEKLZVersion:
      return kNotSupported;  // an FN model has no electronic journal
    case cmd::kBeep:
    case cmd::kOpenDrawer:
      return Authenticate(Pw);

    // ---- Device tables -------------------------------------------------------
    case cmd::kReadTable: {
      TFieldValue V;
      if (std::uint8_t E =
              ReadTable(Pw, static_cast<int>(R.UInt("Table")), static_cast<int>(R.UInt("Row")),
                        static_cast<int>(R.UInt("Field")), V))
        return E;
      if (const auto* N = std::get_if<std::int64_t>(&V)) {
        A.Set("Integer", static_cast<qulonglong>(*N));
        A.Set("Text", QString::number(*N));
      } else {
        A.Set("Text", std::get<QString>(V));
      }
      return kOk;
    }
    case cmd::kWriteTable: {
      const int Table = static_cast<int>(R.UInt("Table"));
      const int Field = static_cast<int>(R.UInt("Field"));
      const TFieldStruct* F = nullptr;
      const bool IsString = FTables.GetFieldStruct(Table, Field, &F) == kOk && F->IsString;
      const TFieldValue V = IsString ? TFieldValue(R.Text("Text"))
                                     : TFieldValue(static_cast<std::int64_t>(R.UInt("Integer")));
      return WriteTable(Pw, Table, static_cast<int>(R.UInt("Row")), Field, V);
    }
    case cmd::kTableStruct: {
      TTableStruct T;
      if (std::uint8_t E = GetTableStruct(Pw, static_cast<int>(R.UInt("Table")), T)) return E;
      A.Set("Name", T.Name);
      A.Set("Rows", T.Rows);
      A.Set("Fields", static_cast<int>(T.Fields.size()));
      return kOk;
    }
    case cmd::kFieldStruct: {
      TFieldStruct F;
      if (std::uint8_t E = GetFieldStruct(Pw, static_cast<int>(R.UInt("Table")),
                                          static_cast<int>(R.UInt("Field")), F))
        return E;
      A.Set("Name", F.Name);
      A.Set("Type", F.IsString ? 1 : 0);
      A.Set("Size", F.Size);
      A.Set("Min", static_cast<qulonglong>(F.Min));
      A.Set("Max", static_cast<qulonglong>(F.Max));
      return kOk;
    }
    case cmd::kInitTables:
      return InitTables(Pw);

    // ---- Clock ---------------------------------------------------------------
    case cmd::kSetDate:
      return SetDate(Pw, R.Date("Date"));
    case cmd::kConfirmDate:
      return ConfirmDate(Pw, R.Date("Date"));
    case cmd::kSetTime:
      return SetTime(Pw, R.Time("Time"));

    // ---- Printing ------------------------------------------------------------
    case cmd::kPrintString:
      return PrintString(Pw, R.Text("Text"), 1);
    case cmd::kPrintStringWithFont:
      return PrintString(Pw, R.Text("Text"), static_cast<int>(R.UInt("Font")));
    case cmd::kPrintWideString:
      return PrintString(Pw, R.Text("Text"), 2);  // font 2 is the double-width one
    case cmd::kFeedDocument:
      return FeedDocument(Pw, static_cast<int>(R.UInt("Lines")));
    case cmd::kCutCheck:
      return CutCheck(Pw);

    // ---- Shifts and reports --------------------------------------------------
    case cmd::kOpenSession:
      return OpenSession(Pw);
    case cmd::kZReport:
      return PrintReportWithCleaning(Pw);
    case cmd::kXReport:
      return PrintReportWithoutCleaning(Pw);

    // ---- Cash and registers --------------------------------------------------
    case cmd::kCashIncome:
    case cmd::kCashOutcome: {
      const TMoneyUnits Amount = Kopecks(R.Money("Summ"));
      const std::uint8_t E = Request.Command->Code == cmd::kCashIncome ? CashIncome(Pw, Amount)
                                                                       : CashOutcome(Pw, Amount);
      if (E) return E;
      A.Set("DocNumber", FDocuments & 0xFFFF);
      return kOk;
    }
    case cmd::kCashReg: {
      TMoneyUnits V = 0;
      QString Name;
      if (std::uint8_t E = CashRegister(Pw, static_cast<int>(R.UInt("Register")), V, Name))
        return E;
      A.Set("Value", QVariant::fromValue(ToMoney(V)));
      A.Set("Name", Name);
      return kOk;
    }
    case cmd::kCashRegEx: {
      const int Number = static_cast<int>(R.UInt("Register"));
      if (Number < kFirstExtendedCashRegister) return kNoSuchRegister;
      TMoneyUnits V = 0;
      QString Name;
      if (std::uint8_t E = CashRegister(Pw, Number, V, Name)) return E;
      A.Set("Value", QVariant::fromValue(ToMoney(V)));
      A.Set("Name", Name);
      return kOk;
    }
    case cmd::kOperationReg: {
      std::int64_t V = 0;
      QString Name;
      if (std::uint8_t E = OperationRegister(Pw, static_cast<int>(R.UInt("Register")), V, Name))
        return E;
      A.Set("Value", static_cast<qulonglong>(V & 0xFFFF));  // 16-bit registers on the wire
      A.Set("Name", Name);
      return kOk;
    }

    // ---- Receipts --------------------------------------------------------------
    case cmd::kSale:
      return Register(Pw, TReceiptType::Sale, ItemOf(R));
    case cmd::kBuy:
      return Register(Pw, TReceiptType::Buy, ItemOf(R));
    case cmd::kReturnSale:
      return Register(Pw, TReceiptType::ReturnSale, ItemOf(R));
    case cmd::kReturnBuy:
      return Register(Pw, TReceiptType::ReturnBuy, ItemOf(R));
    case cmd::kStorno:
      return Storno(Pw, ItemOf(R));
    case cmd::kCloseCheck: {
      TCloseParams P;
      for (int K = 1; K <= 4; ++K) P.Payments[K - 1] = Kopecks(R.Money("Summ" + std::to_string(K)));
      const double Percent = R.Quantity("Discount");
      if (Percent < 0 || Percent > 99.99) return kBadParameter;
      P.DiscountPercent = static_cast<int>(std::llround(Percent * 100.0));
      P.Text = R.Text("Text");
      TMoneyUnits Change = 0;
      if (std::uint8_t E = CloseReceipt(Pw, P, Change)) return E;
      A.Set("Change", QVariant::fromValue(ToMoney(Change)));
      return kOk;
    }
    case cmd::kDiscount:
      return Discount(Pw, Kopecks(R.Money("Summ")), R.Text("Text"));
    case cmd::kCharge:
      return Charge(Pw, Kopecks(R.Money("Summ")), R.Text("Text"));
    case cmd::kStornoDiscount:
      return StornoDiscount(Pw, Kopecks(R.Money("Summ")), R.Text("Text"));
    case cmd::kStornoCharge:
      return StornoCharge(Pw, Kopecks(R.Money("Summ")), R.Text("Text"));
    case cmd::kCancelCheck:
      return CancelReceipt(Pw);
    case cmd::kSubTotal: {
      TMoneyUnits Total = 0;
      if (std::uint8_t E = Subtotal(Pw, Total)) return E;
      A.Set("Subtotal", QVariant::fromValue(ToMoney(Total)));
      return kOk;
    }
    case cmd::kOpenCheck: {
      const std::uint64_t Type = R.UInt("CheckType");
      if (Type > 3) return kBadParameter;
      return OpenReceipt(Pw, static_cast<TReceiptType>(Type));
    }

    // ---- Exchange parameters ---------------------------------------------------
    case cmd::kGetExchangeParam: {
      TExchangeParams P;
      if (std::uint8_t E = GetExchangeParams(Pw, static_cast<int>(R.UInt("Port")), P)) return E;
      A.Set("BaudRate", P.BaudRate);
      A.Set("Timeout", P.Timeout);
      A.Set("TCPPort", P.TCPPort);
      return kOk;
    }
    case cmd::kSetExchangeParam: {
      TExchangeParams P;
      P.BaudRate = static_cast<int>(R.UInt("BaudRate"));
      P.Timeout = static_cast<int>(R.UInt("Timeout"));
      P.TCPPort = static_cast<int>(R.UInt("TCPPort"));
      return SetExchangeParams(Pw, static_cast<int>(R.UInt("Port")), P);
    }

    // ---- FN ------------------------------------------------------------------
    case cmd::kFNStatus: {
      if (std::uint8_t E = Authenticate(Pw)) return E;
      A.Set("LifeState", 1);  // set up, ready for fiscalisation
      A.Set("SessionState", FShiftOpen ? 1 : 0);
      if (FLastDocumentTime.isValid()) {
        A.Set("Date", FLastDocumentTime.date());
        A.Set("Time", FLastDocumentTime.time());
      }
      A.Set("SerialNumber", FIdentity.FNSerialNumber);
      A.Set("DocumentNumber", FDocuments);
      return kOk;
    }
    case cmd::kFNSerial:
      if (std::uint8_t E = Authenticate(Pw)) return E;
      A.Set("SerialNumber", FIdentity.FNSerialNumber);
      return kOk;
    case cmd::kFNExpiration:
      if (std::uint8_t E = Authenticate(Pw)) return E;
      A.Set("Date", FNValidUntil());
      A.Set("FreeRegistration", 30);
      A.Set("RegistrationNumber", 0);
      return kOk;
    case cmd::kFNVersion:
      if (std::uint8_t E = Authenticate(Pw)) return E;
      A.Set("SoftVersion", QStringLiteral("fn v 2.17"));
      A.Set("SoftType", 1);  // serial firmware
      return kOk;

    default:
      // A command of the driver's set that this model does not carry out.
      return kNotSupported;
  }
}

}  // namespace vkkt
