#include "tessel/CommandTable.h"

#include <QString>
#include <algorithm>
#include <map>
#include <stdexcept>

namespace tessel {

namespace {

using P = TPropertyId;
using M = TMethodId;
using W = TWireType;

TFieldDef UInt(const char* Name, int Size, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::UInt, Size, std::move(Bind), Note};
}
TFieldDef Money(const char* Name, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::Money, 5, std::move(Bind), Note};
}
TFieldDef Quantity(const char* Name, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::Quantity, 5, std::move(Bind), Note};
}
TFieldDef Text(const char* Name, int Size, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::Text, Size, std::move(Bind), Note};
}
TFieldDef Date(const char* Name, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::Date, 3, std::move(Bind), Note};
}
TFieldDef Time(const char* Name, std::vector<P> Bind = {}, const char* Note = "") {
  return {Name, W::Time, 3, std::move(Bind), Note};
}
TFieldDef Bits(const char* Name, std::vector<P> Bind, const char* Note = "") {
  return {Name, W::Bits, 1, std::move(Bind), Note};
}

// The ribbons a print command uses: bit 0 receipt, bit 1 journal, bit 2 slip.
TFieldDef Ribbons() {
  return Bits("Ribbons", {P::UseReceiptRibbon, P::UseJournalRibbon, P::UseSlipDocument},
              "bit 0 receipt ribbon, bit 1 journal ribbon, bit 2 slip document");
}

std::vector<TFieldDef> Taxes() {
  return {UInt("Tax1", 1, {P::Tax1}, "tax group 0..4, 0 none"), UInt("Tax2", 1, {P::Tax2}),
          UInt("Tax3", 1, {P::Tax3}), UInt("Tax4", 1, {P::Tax4})};
}

std::vector<TFieldDef> Join(std::initializer_list<std::vector<TFieldDef>> Parts) {
  std::vector<TFieldDef> Out;
  for (const auto& Part : Parts) Out.insert(Out.end(), Part.begin(), Part.end());
  return Out;
}

// The request of every receipt item: quantity, price, department, taxes, text.
std::vector<TFieldDef> ItemRequest() {
  return Join({{Quantity("Quantity", {P::Quantity}), Money("Price", {P::Price}),
                UInt("Department", 1, {P::Department}, "department 0..16")},
               Taxes(),
               {Text("Text", 0, {P::StringForPrinting}, "item name as printed")}});
}

// A discount or charge on the receipt: sum, taxes, text.
std::vector<TFieldDef> AdjustmentRequest() {
  return Join({{Money("Summ", {P::Summ1})},
               Taxes(),
               {Text("Text", 0, {P::StringForPrinting}, "line printed with it")}});
}

std::vector<TCommandDef> BuildTable() {
  std::vector<TCommandDef> T;

  // ---- Status and device facts -------------------------------------------
  T.push_back(
      {cmd::kShortStatus,
       "Short status",
       true,
       {},
       {UInt("OperatorNumber", 1, {P::OperatorNumber}),
        UInt("Flags", 2, {P::ECRFlags}, "device flags, as in the status record"),
        UInt("Mode", 1, {}, "low four bits: mode (ECRMode); high four bits: ECRModeStatus"),
        UInt("AdvancedMode", 1, {P::ECRAdvancedMode}, "printer sub-mode"),
        UInt("QuantityOfOperations", 2, {P::QuantityOfOperations},
             "operations in the open receipt"),
        Quantity("BatteryVoltage", {P::BatteryVoltage}, "volts"),
        Quantity("PowerSourceVoltage", {P::PowerSourceVoltage}, "volts"),
        UInt("FMResultCode", 1, {P::FMResultCode}), UInt("EKLZResultCode", 1, {P::EKLZResultCode}),
        UInt("PreviousMode", 1, {P::PreviousECRMode}),
        UInt("PrinterHeadTemperature", 1, {P::PrinterHeadTemperature}, "degrees Celsius"),
        UInt("LastPrintResult", 1, {P::LastPrintResult})},
       {M::GetShortECRStatus, M::WaitForPrinting},
       "The state of the device in brief; WaitForPrinting repeats it while the "
       "printer sub-mode is a printing one."});

  T.push_back({cmd::kStatus,
               "Status",
               true,
               {},
               {UInt("OperatorNumber", 1, {P::OperatorNumber}),
                Text("VersionFR", 4, {P::ECRSoftVersion}, "firmware version, as \"C.3\""),
                UInt("BuildFR", 2, {P::ECRBuild}),
                Date("DateFR", {P::ECRSoftDate}, "firmware date"),
                UInt("LogicalNumber", 1, {P::LogicalNumber}),
                UInt("DocNumber", 2, {P::OpenDocumentNumber}, "number of the current document"),
                UInt("FlagsFR", 2, {P::ECRFlags},
                     "device flags; the driver also sets one Boolean property per bit"),
                UInt("ModeFr", 1, {},
                     "low four bits: mode (ECRMode; 8 a receipt is open); high four bits: "
                     "ECRModeStatus"),
                UInt("AdvansedModeFR", 1, {P::ECRAdvancedMode}),
                UInt("PortFR", 1, {P::PortNumber}, "interface the device is reached through"),
                Text("VersionFP", 4, {P::FMSoftVersion}),
                UInt("BuildFP", 2, {P::FMBuild}),
                Date("DateFP", {P::FMSoftDate}),
                Date("Date", {P::Date}, "device date"),
                Time("Time", {P::Time}, "device time"),
                UInt("FlagsFP", 1, {P::FMFlags}),
                UInt("SerialNumber", 4, {P::SerialNumber}),
                UInt("SessionNumber", 2, {P::SessionNumber}, "last closed shift"),
                UInt("FreeRecordInFM", 2, {P::FreeRecordInFM}),
                UInt("RegistrationNumber", 1, {P::RegistrationNumber}),
                UInt("FreeRegistration", 1, {P::FreeRegistration}),
                UInt("INN", 6, {P::INN}, "taxpayer number")},
               {M::GetECRStatus},
               "The 50-byte status record. The server of shared ports sends it itself to see "
               "whether a receipt is open (mode 8)."});

  T.push_back({cmd::kDeviceMetrics,
               "Device metrics",
               false,
               {},
               {UInt("MajorProtocolVersion", 1, {P::UMajorProtocolVersion}),
                UInt("MinorProtocolVersion", 1, {P::UMinorProtocolVersion}),
                UInt("MajorType", 1, {P::UMajorType}), UInt("MinorType", 1, {P::UMinorType}),
                UInt("Model", 1, {P::UModel}), UInt("CodePage", 1, {P::UCodePage}, "0 Russian"),
                UInt("ModelParamCount", 1, {P::ModelParamCount}),
                Text("CodePageText", 16, {P::UCodePageText}),
                Text("Description", 0, {P::UDescription}, "model description")},
               {M::GetDeviceMetrics, M::Connect},
               "What the device is. Carries no password, so that any program can identify "
               "the device; Connect sends it to check that a device answers."});

  T.push_back({cmd::kModelParam,
               "Model parameter",
               true,
               {UInt("ParamNumber", 2, {P::ModelParamNumber})},
               {UInt("ValueType", 1, {}, "0 integer, 1 Boolean"),
                UInt("Value", 4, {},
                     "the value; the driver stores it in ModelParamValue as an "
                     "integer or a Boolean by ValueType")},
               {M::ReadModelParamValue},
               "One model parameter by number; 93 for a number the model does not have."});

  T.push_back({cmd::kModelParamByIndex,
               "Model parameter by index",
               true,
               {UInt("Index", 2, {P::ModelParamIndex}, "0 .. ModelParamCount - 1")},
               {UInt("ParamNumber", 2, {P::ModelParamNumber}),
                UInt("ValueType", 1, {}, "0 integer, 1 Boolean"),
                UInt("Value", 4, {}, "as for the model parameter command"),
                Text("Description", 0, {P::ModelParamDescription})},
               {M::ReadModelParam},
               "The parameters of the model in order, for listing them; 93 past the last."});

  T.push_back({cmd::kSerialNumber,
               "Serial number",
               true,
               {},
               {Text("SerialNumber", 0, {P::SerialNumber}, "the full serial number")},
               {M::ReadSerialNumber},
               ""});

  T.push_back(
      {cmd::kFontMetrics,
       "Font metrics",
       true,
       {UInt("Font", 1, {P::FontType}, "font number from 1")},
       {UInt("PrintWidth", 2, {P::PrintWidth}, "dots across the paper"),
        UInt("CharWidth", 1, {P::CharWidth}, "dots"),
        UInt("CharHeight", 1, {P::CharHeight}, "dots"), UInt("FontCount", 1, {P::FontCount})},
       {M::GetFontMetrics},
       "The size of one font; error 0x02 for a font the device lacks."});

  T.push_back({cmd::kBeep, "Beep", true, {}, {}, {M::Beep}, "Sounds the device's beeper."});

  const auto ExchangeParams = [] {
    return std::vector<TFieldDef>{
        UInt("BaudRate", 1, {P::BaudRate}, "baud-rate code 0..9"),
        UInt("Timeout", 2, {P::Timeout}, "ms"),
        UInt("TCPPort", 2, {P::TCPPort}, "TCP port of a network interface")};
  };
  T.push_back({cmd::kGetExchangeParam,
               "Get exchange parameters",
               true,
               {UInt("Port", 1, {P::PortNumber}, "interface code")},
               ExchangeParams(),
               {M::GetExchangeParam},
               "The device's own settings of one of its interfaces; they replace the driver's "
               "BaudRate, Timeout and TCPPort, as the connection page shows them."});
  T.push_back({cmd::kSetExchangeParam,
               "Set exchange parameters",
               true,
               Join({{UInt("Port", 1, {P::PortNumber}, "interface code")}, ExchangeParams()}),
               {},
               {M::SetExchangeParam},
               ""});

  // ---- Device tables -------------------------------------------------------
  const auto Cell = [] {
    return std::vector<TFieldDef>{UInt("Table", 1, {P::TableNumber}),
                                  UInt("Row", 2, {P::RowNumber}, "from 1"),
                                  UInt("Field", 1, {P::FieldNumber}, "from 1")};
  };
  T.push_back({cmd::kReadTable,
               "Read table field",
               true,
               Cell(),
               {UInt("Integer", 8, {P::ValueOfFieldInteger}, "value of an integer field, else 0"),
                Text("Text", 0, {P::ValueOfFieldString},
                     "value of a text field; an integer field's value in decimal")},
               {M::ReadTable},
               "One field of one row; 93 for a table or field the model does not have."});
  T.push_back({cmd::kWriteTable,
               "Write table field",
               true,
               Join({Cell(),
                     {UInt("Integer", 8, {P::ValueOfFieldInteger}, "used for an integer field"),
                      Text("Text", 0, {P::ValueOfFieldString}, "used for a text field")}}),
               {},
               {M::WriteTable},
               "The device takes the value that fits the field's type and checks its limits."});
  T.push_back({cmd::kTableStruct,
               "Table structure",
               true,
               {UInt("Table", 1, {P::TableNumber})},
               {Text("Name", 40, {P::TableName}), UInt("Rows", 2, {P::RowNumber}, "row count"),
                UInt("Fields", 1, {P::FieldNumber}, "field count")},
               {M::GetTableStruct},
               "93 for a table the model does not have."});
  T.push_back(
      {cmd::kFieldStruct,
       "Field structure",
       true,
       {UInt("Table", 1, {P::TableNumber}), UInt("Field", 1, {P::FieldNumber})},
       {Text("Name", 40, {P::FieldName}), UInt("Type", 1, {P::FieldType}, "0 integer, 1 text"),
        UInt("Size", 1, {P::FieldSize}, "bytes"), UInt("Min", 8, {P::MINValueOfField}),
        UInt("Max", 8, {P::MAXValueOfField})},
       {M::GetFieldStruct},
       "93 for a table or field the model does not have."});
  T.push_back({cmd::kInitTables,
               "Initialise tables",
               true,
               {},
               {},
               {M::InitTable},
               "Every table back to its initial values; only while the shift is closed."});

  // ---- Clock ---------------------------------------------------------------
  T.push_back({cmd::kSetDate,
               "Set date",
               true,
               {Date("Date", {P::Date})},
               {},
               {M::SetDate},
               "The new date waits for its confirmation with the same date."});
  T.push_back({cmd::kConfirmDate,
               "Confirm date",
               true,
               {Date("Date", {P::Date})},
               {},
               {M::ConfirmDate},
               ""});
  T.push_back({cmd::kSetTime, "Set time", true, {Time("Time", {P::Time})}, {}, {M::SetTime}, ""});

  // ---- Printing ------------------------------------------------------------
  T.push_back({cmd::kPrintString,
               "Print line",
               true,
               {Ribbons(), Text("Text", 0, {P::StringForPrinting})},
               {},
               {M::PrintString},
               "One line in the default font; the device cuts it at the line width."});
  T.push_back({cmd::kPrintStringWithFont,
               "Print line in a font",
               true,
               {Ribbons(), UInt("Font", 1, {P::FontType}), Text("Text", 0, {P::StringForPrinting})},
               {},
               {M::PrintStringWithFont},
               ""});
  T.push_back({cmd::kPrintWideString,
               "Print wide line",
               true,
               {Ribbons(), Text("Text", 0, {P::StringForPrinting})},
               {},
               {M::PrintWideString},
               "Double-width characters."});
  T.push_back({cmd::kFeedDocument,
               "Feed",
               true,
               {Ribbons(), UInt("Lines", 1, {P::StringQuantity})},
               {},
               {M::FeedDocument},
               ""});
  T.push_back({cmd::kCutCheck,
               "Cut",
               true,
               {UInt("Partial", 1, {P::CutType}, "1 partial cut, 0 full cut")},
               {},
               {M::CutCheck},
               ""});

  // ---- Shifts and reports -------------------------------------------------
  T.push_back({cmd::kOpenSession, "Open shift", true, {}, {}, {M::OpenSession}, ""});
  T.push_back({cmd::kZReport,
               "Report with cleaning (close shift)",
               true,
               {},
               {},
               {M::PrintReportWithCleaning},
               "Prints the Z report and closes the shift."});
  T.push_back({cmd::kXReport,
               "Report without cleaning",
               true,
               {},
               {},
               {M::PrintReportWithoutCleaning},
               "Prints the X report; the shift stays open."});

  // ---- Cash and registers ----------------------------------------------------
  T.push_back({cmd::kCashIncome,
               "Cash in",
               true,
               {Money("Summ", {P::Summ1})},
               {UInt("DocNumber", 2, {P::OpenDocumentNumber})},
               {M::CashIncome},
               ""});
  T.push_back({cmd::kCashOutcome,
               "Cash out",
               true,
               {Money("Summ", {P::Summ1})},
               {UInt("DocNumber", 2, {P::OpenDocumentNumber})},
               {M::CashOutcome},
               "Not more than the cash in the drawer."});
  T.push_back({cmd::kCashReg,
               "Cash register",
               true,
               {UInt("Register", 2, {P::RegisterNumber})},
               {Money("Value", {P::ContentsOfCashRegister}), Text("Name", 0, {P::NameCashReg})},
               {M::GetCashReg},
               "The contents of a cash register; error 0x21 for a number the device lacks."});
  T.push_back(
      {cmd::kOperationReg,
       "Operation register",
       true,
       {UInt("Register", 2, {P::RegisterNumber})},
       {UInt("Value", 2, {P::ContentsOfOperationRegister}), Text("Name", 0, {P::NameOperationReg})},
       {M::GetOperationReg},
       ""});
  T.push_back({cmd::kOpenDrawer,
               "Open drawer",
               true,
               {UInt("Drawer", 1, {P::DrawerNumber})},
               {},
               {M::OpenDrawer},
               ""});

  T.push_back({cmd::kCashRegEx,
               "Extended cash register",
               true,
               {UInt("Register", 2, {P::RegisterNumber}, "4096 ..")},
               {Money("Value", {P::ContentsOfCashRegister}), Text("Name", 0, {P::NameCashRegEx})},
               {M::GetCashRegEx},
               "The extended cash registers; error 0x21 for a number the device lacks."});

  // ---- The old electronic journal ---------------------------------------------
  T.push_back({cmd::kEKLZVersion,
               "Electronic journal version",
               true,
               {},
               {Text("Version", 0, {P::EKLZVersion})},
               {M::GetEKLZVersion},
               "Only models with the old electronic journal carry it out; FN models answer 55."});

  // ---- Receipts --------------------------------------------------------------
  T.push_back({cmd::kSale,
               "Sale",
               true,
               ItemRequest(),
               {},
               {M::Sale},
               "Opens a sale receipt when none is open."});
  T.push_back({cmd::kBuy,
               "Buy",
               true,
               ItemRequest(),
               {},
               {M::Buy},
               "Opens a buy receipt when none is open."});
  T.push_back({cmd::kReturnSale,
               "Return of sale",
               true,
               ItemRequest(),
               {},
               {M::ReturnSale},
               "Opens a sale-return receipt when none is open."});
  T.push_back({cmd::kReturnBuy,
               "Return of buy",
               true,
               ItemRequest(),
               {},
               {M::ReturnBuy},
               "Opens a buy-return receipt when none is open."});
  T.push_back({cmd::kStorno,
               "Storno",
               true,
               ItemRequest(),
               {},
               {M::Storno},
               "Takes an item back out of the open receipt."});
  T.push_back({cmd::kCloseCheck,
               "Close receipt",
               true,
               Join({{Money("Summ1", {P::Summ1}, "cash"), Money("Summ2", {P::Summ2}),
                      Money("Summ3", {P::Summ3}), Money("Summ4", {P::Summ4}),
                      Quantity("Discount", {P::DiscountOnCheck}, "percent off the receipt")},
                     Taxes(),
                     {Text("Text", 0, {P::StringForPrinting})}}),
               {Money("Change", {P::Change})},
               {M::CloseCheck},
               "Payments by type (1 cash, 2..4 the others); the payments must cover the total; "
               "change is given from cash only."});
  T.push_back({cmd::kDiscount, "Discount", true, AdjustmentRequest(), {}, {M::Discount}, ""});
  T.push_back({cmd::kCharge, "Charge", true, AdjustmentRequest(), {}, {M::Charge}, ""});
  T.push_back({cmd::kCancelCheck,
               "Cancel receipt",
               true,
               {},
               {},
               {M::CancelCheck, M::SysAdminCancelCheck},
               "Cancels the open receipt. The server of shared ports sends it itself when a "
               "lock times out over an open receipt. SysAdminCancelCheck sends "
               "SysAdminPassword."});
  T.push_back({cmd::kSubTotal,
               "Subtotal",
               true,
               {},
               {Money("Subtotal", {P::Summ1})},
               {M::CheckSubTotal},
               "The total of the open receipt so far."});
  T.push_back({cmd::kOpenCheck,
               "Open receipt",
               true,
               {UInt("CheckType", 1, {P::CheckType}, "0 sale, 1 buy, 2 sale return, 3 buy return")},
               {},
               {M::OpenCheck},
               ""});
  T.push_back({cmd::kStornoDiscount,
               "Storno of a discount",
               true,
               AdjustmentRequest(),
               {},
               {M::StornoDiscount},
               ""});
  T.push_back({cmd::kStornoCharge,
               "Storno of a charge",
               true,
               AdjustmentRequest(),
               {},
               {M::StornoCharge},
               ""});

  // ---- FN (fiscal storage) ------------------------------------------------
  T.push_back({cmd::kFNStatus,
               "FN status",
               true,
               {},
               {UInt("LifeState", 1, {P::FNLifeState}, "bit mask of the FN's life phases"),
                UInt("CurrentDocument", 1, {P::FNCurrentDocument}, "type of the open document"),
                UInt("DocumentData", 1, {P::FNDocumentData}, "1: data of the document received"),
                UInt("SessionState", 1, {P::FNSessionState}, "0 shift closed, 1 open"),
                UInt("WarningFlags", 1, {P::FNWarningFlags}),
                Date("Date", {P::Date}, "date of the last document"), Time("Time", {P::Time}),
                Text("SerialNumber", 16, {P::SerialNumber}, "the FN's number"),
                UInt("DocumentNumber", 4, {P::DocumentNumber}, "number of the last document")},
               {M::FNGetStatus},
               ""});
  T.push_back({cmd::kFNSerial,
               "FN number",
               true,
               {},
               {Text("SerialNumber", 16, {P::SerialNumber})},
               {M::FNGetSerial},
               ""});
  T.push_back({cmd::kFNExpiration,
               "FN validity",
               true,
               {},
               {Date("Date", {P::Date}, "the last day the FN serves"),
                UInt("FreeRegistration", 1, {P::FreeRegistration}, "re-registrations left"),
                UInt("RegistrationNumber", 1, {P::RegistrationNumber}, "re-registrations done")},
               {M::FNGetExpirationTime},
               ""});
  T.push_back({cmd::kFNVersion,
               "FN version",
               true,
               {},
               {Text("SoftVersion", 16, {P::FNSoftVersion}),
                UInt("SoftType", 1, {P::FNSoftType}, "0 debugging, 1 serial")},
               {M::FNGetVersion},
               ""});

  // Every answer to a command with a password names the operator it found.
  for (TCommandDef& C : T) {
    if (C.HasPassword && (C.Answer.empty() || C.Answer.front().Name != "OperatorNumber")) {
      C.Answer.insert(C.Answer.begin(), UInt("OperatorNumber", 1, {P::OperatorNumber},
                                             "the operator whose password the command carried"));
    }
  }

  std::sort(T.begin(), T.end(),
            [](const TCommandDef& A, const TCommandDef& B) { return A.Code < B.Code; });
  return T;
}

// A table fault is a fault of this file: found by the first use and the tests.
void CheckTable(const std::vector<TCommandDef>& T) {
  std::map<TMethodId, std::uint16_t> Methods;
  for (std::size_t I = 0; I < T.size(); ++I) {
    const TCommandDef& C = T[I];
    if (I > 0 && T[I - 1].Code == C.Code) throw std::logic_error("duplicate command code");
    if (C.Code == 0xFF || (C.Code > 0xFF && (C.Code >> 8) != 0xFF)) {
      throw std::logic_error("bad command code " + C.Name);
    }
    for (TMethodId M : C.Methods) {
      if (!Methods.emplace(M, C.Code).second) {
        throw std::logic_error(std::string("method with two commands: ") + MethodName(M));
      }
    }
    for (const auto* Side : {&C.Request, &C.Answer}) {
      for (std::size_t F = 0; F < Side->size(); ++F) {
        const TFieldDef& D = (*Side)[F];
        const bool Rest = D.Size == 0;
        if (Rest && (F + 1 != Side->size() || (D.Type != W::Text && D.Type != W::Bytes))) {
          throw std::logic_error("a rest-of-block field must be the last text or bytes: " + C.Name +
                                 "." + D.Name);
        }
        if (D.Type == W::UInt && (D.Size < 1 || D.Size > 8)) {
          throw std::logic_error("bad integer size: " + C.Name + "." + D.Name);
        }
        if (D.Type != W::Bits && D.Bind.size() > 1) {
          throw std::logic_error("a field binds to one property: " + C.Name + "." + D.Name);
        }
        if (D.Type == W::Bits && D.Bind.size() > 8) {
          throw std::logic_error("more than 8 bits: " + C.Name + "." + D.Name);
        }
      }
    }
  }
}

const std::vector<TCommandDef>& Table() {
  static const std::vector<TCommandDef> Built = [] {
    std::vector<TCommandDef> T = BuildTable();
    CheckTable(T);
    return T;
  }();
  return Built;
}

}  // namespace

const char* WireTypeName(TWireType Type) {
  switch (Type) {
    case W::UInt:
      return "UInt";
    case W::Money:
      return "Money";
    case W::Quantity:
      return "Quantity";
    case W::Text:
      return "Text";
    case W::Bytes:
      return "Bytes";
    case W::Date:
      return "Date";
    case W::Time:
      return "Time";
    case W::Bits:
      return "Bits";
  }
  return "?";
}

std::span<const TCommandDef> AllCommands() {
  return Table();
}

std::span<const TFlagBit> ECRFlagBits() {
  static const TFlagBit Bits[] = {
      {0, P::ReceiptRibbonIsPresent},
      {1, P::JournalRibbonIsPresent},
      {2, P::SlipDocumentIsPresent},
      {3, P::SlipDocumentIsMoving},
      {4, P::PointPosition},
      {6, P::ReceiptRibbonOpticalSensor},
      {7, P::JournalRibbonOpticalSensor},
      {8, P::ReceiptRibbonLever},
      {9, P::JournalRibbonLever},
      {10, P::LidPositionSensor},
      {11, P::IsDrawerOpen},
      {12, P::PresenterOut},
      {13, P::PresenterIn},
      {14, P::IsEKLZOverflow},
      {15, P::QuantityPointPosition},
  };
  return Bits;
}

std::span<const TFlagBit> FMFlagBits() {
  static const TFlagBit Bits[] = {
      {0, P::FM1IsPresent}, {1, P::IsFMSessionOpen},         {2, P::IsFM24HoursOver},
      {3, P::FM2IsPresent}, {4, P::IsLastFMRecordCorrupted}, {5, P::IsBatteryLow},
      {6, P::FMOverflow},
  };
  return Bits;
}

const TCommandDef* FindCommand(std::uint16_t Code) {
  const auto& T = Table();
  const auto It = std::lower_bound(
      T.begin(), T.end(), Code, [](const TCommandDef& C, std::uint16_t V) { return C.Code < V; });
  return It != T.end() && It->Code == Code ? &*It : nullptr;
}

const TCommandDef* CommandOfMethod(TMethodId Method) {
  static const std::map<TMethodId, const TCommandDef*> Index = [] {
    std::map<TMethodId, const TCommandDef*> Out;
    for (const TCommandDef& C : Table()) {
      for (TMethodId M : C.Methods) Out[M] = &C;
    }
    return Out;
  }();
  const auto It = Index.find(Method);
  return It == Index.end() ? nullptr : It->second;
}

std::string CodeText(std::uint16_t Code) {
  if (Code > 0xFF)
    return QStringLiteral("FF %1").arg(Code & 0xFF, 2, 16, QChar('0')).toUpper().toStdString();
  return QStringLiteral("%1").arg(Code, 2, 16, QChar('0')).toUpper().toStdString();
}

std::string CodeBytes(std::uint16_t Code) {
  if (Code > 0xFF) return {'\xFF', static_cast<char>(Code & 0xFF)};
  return std::string(1, static_cast<char>(Code));
}

int FieldLength(const TFieldDef& Field) {
  return Field.Size;
}

}  // namespace tessel
