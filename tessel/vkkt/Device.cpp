#include "tessel/vkkt/Device.h"

#include <algorithm>
#include <numeric>

#include "common/text/Intl.h"
#include "tessel/vkkt/DeviceErrors.h"

namespace vkkt {

namespace {

constexpr TMoneyUnits kMaxAmount = 100'000'000'000'000;       // one operation: 10^12 roubles
constexpr std::int64_t kMaxQuantity = 1'000'000'000'000'000;  // 10^9 units in thousandths
constexpr int kTableOperators = 2;
constexpr int kTableTaxes = 3;
constexpr int kTableCliche = 4;
constexpr int kTablePaymentNames = 5;
constexpr int kTableService = 10;
constexpr int kTableRegistration = 18;

int TypeIndex(TReceiptType Type) {
  return static_cast<int>(Type);
}

const char* ReceiptTitle(TReceiptType Type) {
  switch (Type) {
    case TReceiptType::Sale:
      return _("ПРОДАЖА");
    case TReceiptType::Buy:
      return _("ПОКУПКА");
    case TReceiptType::ReturnSale:
      return _("ВОЗВРАТ ПРОДАЖИ");
    case TReceiptType::ReturnBuy:
      return _("ВОЗВРАТ ПОКУПКИ");
  }
  return "";
}

// Money leaves the drawer on a buy and on the return of a sale.
bool PaysOut(TReceiptType Type) {
  return Type == TReceiptType::Buy || Type == TReceiptType::ReturnSale;
}

std::uint8_t ItemAmount(const TItem& Item, TMoneyUnits& Amount) {
  if (Item.Quantity <= 0 || Item.Quantity > kMaxQuantity || Item.Price < 0 ||
      Item.Price > kMaxAmount)
    return kBadParameter;
  if (Item.Department < 0 || Item.Department > kDepartmentCount) return kBadParameter;
  for (int Tax : Item.Taxes)
    if (Tax < 0 || Tax > kTaxGroupCount) return kBadParameter;
  const __int128 Product = static_cast<__int128>(Item.Quantity) * Item.Price;
  const __int128 Rounded = (Product + 500'000) / 1'000'000;
  if (Rounded > kMaxAmount) return kOverflow;
  Amount = static_cast<TMoneyUnits>(Rounded);
  return kOk;
}

int TaxGroup(const TItem& Item) {
  for (int Tax : Item.Taxes)
    if (Tax != 0) return Tax;
  return 0;
}

// Three decimals, six where the quantity needs them: "2.000", "0.333333".
QString QuantityText(std::int64_t Millionths) {
  const std::int64_t Fraction = Millionths % 1'000'000;
  if (Fraction % 1000 == 0)
    return QString("%1.%2").arg(Millionths / 1'000'000).arg(Fraction / 1000, 3, 10, QChar('0'));
  return QString("%1.%2").arg(Millionths / 1'000'000).arg(Fraction, 6, 10, QChar('0'));
}

int DepartmentOf(const TItem& Item) {
  return Item.Department == 0 ? 1 : Item.Department;
}

}  // namespace

QString MoneyText(TMoneyUnits Amount) {
  const TMoneyUnits Abs = Amount < 0 ? -Amount : Amount;
  return QString("%1%2.%3")
      .arg(Amount < 0 ? "-" : "")
      .arg(Abs / 100)
      .arg(Abs % 100, 2, 10, QChar('0'));
}

TDevice::TDevice() {
  FTables.Set(kTableRegistration, 1, 1, FIdentity.SerialNumber);
  FTables.Set(kTableRegistration, 1, 4, FIdentity.FNSerialNumber);
}

// ---- Clock ------------------------------------------------------------------

QDateTime TDevice::Now() const {
  TLock L(FMutex);
  return FClock.Now();
}

void TDevice::SetClock(const QDateTime& Value) {
  TLock L(FMutex);
  FClock.Set(Value);
}

void TDevice::AdvanceClock(qint64 Seconds) {
  TLock L(FMutex);
  FClock.Advance(Seconds);
}

void TDevice::FollowSystemClock(bool On) {
  TLock L(FMutex);
  FClock.FollowSystemClock(On);
}

std::uint8_t TDevice::SetDate(std::uint32_t Password, const QDate& Date) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (FShiftOpen) return kShiftOpen;
  if (!Date.isValid() || Date.year() < 2000 || Date.year() > 2099) return kBadDateTime;
  FPendingDate = Date;
  return kOk;
}

std::uint8_t TDevice::ConfirmDate(std::uint32_t Password, const QDate& Date) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (FShiftOpen) return kShiftOpen;
  if (!FPendingDate || *FPendingDate != Date) return kDateNotConfirmed;
  FClock.Set(QDateTime(Date, FClock.Now().time(), Qt::UTC));
  FPendingDate.reset();
  return kOk;
}

std::uint8_t TDevice::SetTime(std::uint32_t Password, const QTime& Time) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (!Time.isValid()) return kBadDateTime;
  FClock.Set(
      QDateTime(FClock.Now().date(), QTime(Time.hour(), Time.minute(), Time.second()), Qt::UTC));
  return kOk;
}

// ---- Identity and state -----------------------------------------------------

TIdentity TDevice::Identity() const {
  TLock L(FMutex);
  return FIdentity;
}

std::uint8_t TDevice::SetSerialNumber(std::uint32_t Password, const QString& Serial) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (Serial.isEmpty() || Serial.size() > 20 ||
      !std::all_of(Serial.begin(), Serial.end(), [](QChar C) { return C.isDigit(); }))
    return kBadParameter;
  if (FReceipt) return kReceiptOpen;
  if (FShiftOpen) return kShiftOpen;
  FIdentity.SerialNumber = Serial;
  FTables.Set(kTableRegistration, 1, 1, Serial);
  return kOk;
}

int TDevice::OperatorOf(std::uint32_t Password) const {
  TLock L(FMutex);
  for (int Row = 1; Row <= kOperatorCount; ++Row)
    if (FTables.Int(kTableOperators, Row, 1) == static_cast<std::int64_t>(Password)) return Row;
  return 0;
}

std::uint8_t TDevice::Authenticate(std::uint32_t Password) const {
  return OperatorOf(Password) ? kOk : kWrongPassword;
}

std::uint8_t TDevice::AuthenticateAdministrator(std::uint32_t Password) const {
  const int Operator = OperatorOf(Password);
  if (!Operator) return kWrongPassword;
  return Operator == kAdministrator ? kOk : kNeedsAdministrator;
}

void TDevice::NoteOperator(std::uint32_t Password) {
  if (int Operator = OperatorOf(Password)) FLastOperator = Operator;
}

int TDevice::LastOperator() const {
  TLock L(FMutex);
  return FLastOperator;
}

bool TDevice::ShiftOver24Hours() const {
  return FShiftOpen && FShiftStart.secsTo(FClock.Now()) > 24 * 3600;
}

int TDevice::ECRMode() const {
  TLock L(FMutex);
  if (FReceipt) return kModeReceiptOpen;
  if (!FShiftOpen) return kModeShiftClosed;
  return ShiftOver24Hours() ? kModeShiftOver24Hours : kModeShiftOpen;
}

int TDevice::ECRAdvancedMode() const {
  return 0;
}  // paper present, nothing printing

int TDevice::ECRModeStatus() const {
  TLock L(FMutex);
  return FReceipt ? TypeIndex(FReceipt->Type) : 0;
}

int TDevice::DocumentNumber() const {
  TLock L(FMutex);
  return static_cast<int>(FDocuments);
}

int TDevice::LastClosedShift() const {
  TLock L(FMutex);
  return FShiftOpen ? FShiftNumber - 1 : FShiftNumber;
}

int TDevice::CurrentShift() const {
  TLock L(FMutex);
  return FShiftOpen ? FShiftNumber : 0;
}

int TDevice::OperationsInReceipt() const {
  TLock L(FMutex);
  return FReceipt ? FReceipt->Operations : 0;
}

std::uint8_t TDevice::StatusRecord(std::uint32_t Password, QByteArray& Record) {
  TLock L(FMutex);
  const int Operator = OperatorOf(Password);
  if (!Operator) return kWrongPassword;
  FLastOperator = Operator;
  const tessel::TCommandDef& Def = *tessel::FindCommand(tessel::cmd::kStatus);
  tessel::TFieldValues Fields(Def.Answer);
  FillStatus(Operator, Fields);
  const std::string Answer = tessel::EncodeAnswer(Def, kOk, Fields);
  Record = QByteArray(Answer.data() + 2, static_cast<qsizetype>(Answer.size()) - 2);
  return kOk;
}

void TDevice::FillStatus(int Operator, tessel::TFieldValues& A) const {
  const QDateTime Now = FClock.Now();
  A.Set("OperatorNumber", Operator);
  A.Set("VersionFR", FIdentity.ECRSoftVersion);
  A.Set("BuildFR", FIdentity.ECRBuild);
  A.Set("DateFR", FIdentity.ECRSoftDate);
  A.Set("LogicalNumber", static_cast<qint64>(FTables.Int(1, 1, 1)));
  A.Set("DocNumber", FDocuments & 0xFFFF);
  A.Set("FlagsFR", kDeviceFlags);
  A.Set("ModeFr", (ECRMode() & 0x0F) | ((ECRModeStatus() & 0x0F) << 4));
  A.Set("AdvansedModeFR", ECRAdvancedMode());
  A.Set("PortFR", 0);  // RS-232
  // No fiscal memory on an FN model: its version, build and date stay empty.
  A.Set("Date", Now.date());
  A.Set("Time", QTime(Now.time().hour(), Now.time().minute(), Now.time().second()));
  // FN flags: bit 0 FN present, bit 1 shift open, bit 2 shift over 24 hours.
  A.Set("FlagsFP", 0x01 | (FShiftOpen ? 0x02 : 0) | (ShiftOver24Hours() ? 0x04 : 0));
  A.Set("SerialNumber",
        static_cast<qulonglong>(FIdentity.SerialNumber.toULongLong() & 0xFFFFFFFFu));
  A.Set("SessionNumber", LastClosedShift() & 0xFFFF);
  A.Set("INN", static_cast<qulonglong>(FIdentity.INN & 0xFFFFFFFFFFFFull));
}

// ---- Printing ---------------------------------------------------------------

void TDevice::Print(const QString& Line) {
  FTape.append(Line);
}

void TDevice::PrintTwoColumns(const QString& Left, const QString& Right) {
  const int Width = LineWidth(1);
  const int Gap =
      std::max(1, Width - static_cast<int>(Left.size()) - static_cast<int>(Right.size()));
  Print(Left + QString(Gap, ' ') + Right);
}

void TDevice::PrintCentered(const QString& Line) {
  const int Pad = std::max(0, (LineWidth(1) - static_cast<int>(Line.size())) / 2);
  Print(QString(Pad, ' ') + Line);
}

QString TDevice::OperatorName(int Operator) const {
  return FTables.Text(kTableOperators, Operator, 2);
}

void TDevice::NextDocument() {
  ++FDocuments;
  FLastDocumentTime = FClock.Now();
  CountPair(reg::DocumentsLow);
}

void TDevice::PrintDocumentFooter(int Operator) {
  NextDocument();
  PrintTwoColumns(_("КАССИР"), OperatorName(Operator));
  PrintTwoColumns(FClock.Now().toString("dd.MM.yy hh:mm"), QString(_("ДОК. %1")).arg(FDocuments));
  PrintTwoColumns(_("ЗН ККТ"), FIdentity.SerialNumber);
  Print(QString(LineWidth(1), '-'));
}

std::uint8_t TDevice::PrintString(std::uint32_t Password, const QString& Text, int Font) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (!FontMetrics(Font)) return kBadParameter;
  Print(Text.left(LineWidth(Font)));
  return kOk;
}

std::uint8_t TDevice::FeedDocument(std::uint32_t Password, int Lines) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (Lines < 1 || Lines > 255) return kBadParameter;
  for (int I = 0; I < Lines; ++I) Print(QString());
  return kOk;
}

std::uint8_t TDevice::CutCheck(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  Print(QString(LineWidth(1), '~'));
  return kOk;
}

QStringList TDevice::Tape() const {
  TLock L(FMutex);
  return FTape;
}

QStringList TDevice::TakeTape() {
  TLock L(FMutex);
  QStringList Lines;
  Lines.swap(FTape);
  return Lines;
}

// ---- Registers --------------------------------------------------------------

void TDevice::AddCash(int Number, TMoneyUnits Amount) {
  FCash[Number] += Amount;
}

void TDevice::Count(int Number, std::int64_t Amount) {
  FOperations[Number] += Amount;
}

void TDevice::CountPair(int Low) {
  std::uint32_t Value = 0;
  if (Low == reg::DocumentsLow) Value = FDocuments;
  if (Low == reg::ReceiptsLow) Value = FReceiptsEver;
  if (Low == reg::ShiftReportsLow) Value = FShiftReports;
  FOperations[Low] = Value & 0xFFFF;
  FOperations[Low + 1] = Value >> 16;
}

std::uint8_t TDevice::CashRegister(std::uint32_t Password, int Number, TMoneyUnits& Value,
                                   QString& Name) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  if (Number >= 0 && Number < kRegisterCount) {
    Value = FCash[Number];
  } else if (Number >= kFirstExtendedCashRegister && Number <= kLastExtendedCashRegister) {
    Value = 0;
  } else {
    return kNoSuchRegister;
  }
  Name = CashRegisterName(Number);
  return kOk;
}

std::uint8_t TDevice::OperationRegister(std::uint32_t Password, int Number, std::int64_t& Value,
                                        QString& Name) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  if (Number < 0 || Number >= kRegisterCount) return kNoSuchRegister;
  Value = FOperations[Number];
  Name = OperationRegisterName(Number);
  return kOk;
}

// ---- Shift ------------------------------------------------------------------

void TDevice::OpenShiftAndPrint(int Operator) {
  FShiftOpen = true;
  ++FShiftNumber;
  FShiftStart = FClock.Now();
  for (int Row = 1; Row <= 4; ++Row) {
    const QString Line = FTables.Text(kTableCliche, Row, 1);
    if (!Line.isEmpty()) PrintCentered(Line);
  }
  PrintCentered(_("ОТЧЁТ ОБ ОТКРЫТИИ СМЕНЫ"));
  PrintTwoColumns(_("СМЕНА"), QString::number(FShiftNumber));
  PrintDocumentFooter(Operator);
}

std::uint8_t TDevice::OpenSession(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (FShiftOpen) return kShiftOpen;
  OpenShiftAndPrint(OperatorOf(Password));
  return kOk;
}

void TDevice::PrintReport(bool Clearing, int Operator) {
  PrintCentered(Clearing ? _("ОТЧЁТ О ЗАКРЫТИИ СМЕНЫ") : _("ОТЧЁТ БЕЗ ГАШЕНИЯ"));
  PrintTwoColumns(_("СМЕНА"), QString::number(FShiftNumber));
  for (TReceiptType Type :
       {TReceiptType::Sale, TReceiptType::Buy, TReceiptType::ReturnSale, TReceiptType::ReturnBuy}) {
    const int T = TypeIndex(Type);
    PrintTwoColumns(ReceiptTitle(Type), "=" + MoneyText(FCash[reg::ReceiptTotals(T)]));
    PrintTwoColumns(_("  ЧЕКОВ"), QString::number(FOperations[reg::ReceiptsClosed(T)]));
  }
  PrintTwoColumns(_("ВНЕСЕНИЯ"), "=" + MoneyText(FCash[reg::CashIn]));
  PrintTwoColumns(_("ВЫПЛАТЫ"), "=" + MoneyText(FCash[reg::CashOut]));
  PrintTwoColumns(_("НАЛИЧНОСТЬ В КАССЕ"), "=" + MoneyText(FCash[reg::CashInDrawer]));
  PrintTwoColumns(_("НЕОБНУЛЯЕМАЯ СУММА"),
                  "=" + MoneyText(FCash[reg::NonClearable(TypeIndex(TReceiptType::Sale))]));
  PrintDocumentFooter(Operator);
}

std::uint8_t TDevice::PrintReportWithoutCleaning(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  PrintReport(false, OperatorOf(Password));
  return kOk;
}

std::uint8_t TDevice::PrintReportWithCleaning(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (!FShiftOpen) return kShiftClosed;
  ++FShiftReports;
  CountPair(reg::ShiftReportsLow);
  PrintReport(true, OperatorOf(Password));
  for (int N = 0; N <= reg::LastShiftCashRegister; ++N) FCash[N] = 0;
  for (int N = 0; N <= reg::LastShiftOperationRegister; ++N) FOperations[N] = 0;
  FShiftOpen = false;
  return kOk;
}

// ---- Receipts ---------------------------------------------------------------

std::uint8_t TDevice::PrepareTrade(int Operator) {
  if (FReceipt) return kReceiptOpen;
  if (ShiftOver24Hours()) return kShiftOver24Hours;
  if (!FShiftOpen) OpenShiftAndPrint(Operator);
  return kOk;
}

std::uint8_t TDevice::OpenReceipt(std::uint32_t Password, TReceiptType Type) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  const int Operator = OperatorOf(Password);
  if (TypeIndex(Type) < 0 || TypeIndex(Type) > 3) return kBadParameter;
  if (std::uint8_t E = PrepareTrade(Operator)) return E;
  FReceipt = TReceipt{};
  FReceipt->Type = Type;
  FReceipt->Operator = Operator;
  for (int Row = 1; Row <= 4; ++Row) {
    const QString Line = FTables.Text(kTableCliche, Row, 1);
    if (!Line.isEmpty()) PrintCentered(Line);
  }
  PrintCentered(_("КАССОВЫЙ ЧЕК"));
  PrintCentered(ReceiptTitle(Type));
  return kOk;
}

std::uint8_t TDevice::Register(std::uint32_t Password, TReceiptType Type, const TItem& Item) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  TMoneyUnits Amount = 0;
  if (std::uint8_t E = ItemAmount(Item, Amount)) return E;
  if (FReceipt) {
    if (FReceipt->Type != Type) return kWrongReceiptType;
    if (FReceipt->Total + Amount > kMaxAmount) return kOverflow;
  } else if (std::uint8_t E = OpenReceipt(Password, Type)) {
    return E;
  }
  TReceipt& R = *FReceipt;
  R.Departments[DepartmentOf(Item) - 1] += Amount;
  ++R.DepartmentCounts[DepartmentOf(Item) - 1];
  if (int G = TaxGroup(Item)) R.TaxTurnover[G - 1] += Amount;
  R.Total += Amount;
  ++R.Operations;
  if (!Item.Text.isEmpty()) Print(Item.Text.left(LineWidth(1)));
  PrintTwoColumns(QuantityText(Item.Quantity) + " X " + MoneyText(Item.Price),
                  "=" + MoneyText(Amount));
  return kOk;
}

std::uint8_t TDevice::Storno(std::uint32_t Password, const TItem& Item) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  TMoneyUnits Amount = 0;
  if (std::uint8_t E = ItemAmount(Item, Amount)) return E;
  if (!FReceipt) return kNoReceipt;
  TReceipt& R = *FReceipt;
  const int G = TaxGroup(Item);
  if (R.Departments[DepartmentOf(Item) - 1] < Amount || R.Total < Amount ||
      (G && R.TaxTurnover[G - 1] < Amount))
    return kStornoExceeds;
  R.Departments[DepartmentOf(Item) - 1] -= Amount;
  if (G) R.TaxTurnover[G - 1] -= Amount;
  R.Total -= Amount;
  R.Stornos += Amount;
  ++R.StornoCount;
  ++R.Operations;
  Print(_("СТОРНО"));
  if (!Item.Text.isEmpty()) Print(Item.Text.left(LineWidth(1)));
  PrintTwoColumns(QuantityText(Item.Quantity) + " X " + MoneyText(Item.Price),
                  "=" + MoneyText(Amount));
  return kOk;
}

std::uint8_t TDevice::ApplyAdjustment(std::uint32_t Password, TMoneyUnits Amount,
                                      const QString& Text, bool IsCharge, bool IsStorno) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (Amount <= 0 || Amount > kMaxAmount) return kBadParameter;
  if (!FReceipt) return kNoReceipt;
  TReceipt& R = *FReceipt;
  const char* Title = nullptr;
  if (!IsCharge && !IsStorno) {  // discount
    if (Amount > R.Total) return kDiscountExceeds;
    R.Total -= Amount;
    R.Discounts += Amount;
    ++R.DiscountCount;
    Title = _("СКИДКА");
  } else if (IsCharge && !IsStorno) {
    if (R.Total + Amount > kMaxAmount) return kOverflow;
    R.Total += Amount;
    R.Charges += Amount;
    ++R.ChargeCount;
    Title = _("НАДБАВКА");
  } else if (!IsCharge) {  // storno of a discount
    if (Amount > R.Discounts) return kStornoExceeds;
    R.Total += Amount;
    R.Discounts -= Amount;
    ++R.StornoCount;
    Title = _("СТОРНО СКИДКИ");
  } else {  // storno of a charge
    if (Amount > R.Charges || Amount > R.Total) return kStornoExceeds;
    R.Total -= Amount;
    R.Charges -= Amount;
    ++R.StornoCount;
    Title = _("СТОРНО НАДБАВКИ");
  }
  ++R.Operations;
  if (!Text.isEmpty()) Print(Text.left(LineWidth(1)));
  PrintTwoColumns(Title, "=" + MoneyText(Amount));
  return kOk;
}

std::uint8_t TDevice::Discount(std::uint32_t Password, TMoneyUnits Amount, const QString& Text) {
  return ApplyAdjustment(Password, Amount, Text, false, false);
}

std::uint8_t TDevice::Charge(std::uint32_t Password, TMoneyUnits Amount, const QString& Text) {
  return ApplyAdjustment(Password, Amount, Text, true, false);
}

std::uint8_t TDevice::StornoDiscount(std::uint32_t Password, TMoneyUnits Amount,
                                     const QString& Text) {
  return ApplyAdjustment(Password, Amount, Text, false, true);
}

std::uint8_t TDevice::StornoCharge(std::uint32_t Password, TMoneyUnits Amount,
                                   const QString& Text) {
  return ApplyAdjustment(Password, Amount, Text, true, true);
}

std::uint8_t TDevice::Subtotal(std::uint32_t Password, TMoneyUnits& Total) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (!FReceipt) return kNoReceipt;
  Total = FReceipt->Total;
  return kOk;
}

std::uint8_t TDevice::CloseReceipt(std::uint32_t Password, const TCloseParams& Params,
                                   TMoneyUnits& Change) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (!FReceipt) return kNoReceipt;
  if (Params.DiscountPercent < 0 || Params.DiscountPercent > 9999) return kBadParameter;
  for (TMoneyUnits P : Params.Payments)
    if (P < 0 || P > kMaxAmount) return kBadParameter;
  TReceipt& R = *FReceipt;
  if (R.Operations == 0) return kEmptyReceipt;
  const TMoneyUnits PercentDiscount = static_cast<TMoneyUnits>(
      (static_cast<__int128>(R.Total) * Params.DiscountPercent + 5000) / 10000);
  const TMoneyUnits Total = R.Total - PercentDiscount;
  const TMoneyUnits Paid =
      std::accumulate(Params.Payments.begin(), Params.Payments.end(), TMoneyUnits{0});
  const TMoneyUnits NonCash = Paid - Params.Payments[0];
  if (NonCash > Total) return kNonCashExceeds;
  if (Paid < Total) return kPaymentShort;
  const TMoneyUnits ChangeDue = Paid - Total;
  const TMoneyUnits NetCash = Params.Payments[0] - ChangeDue;
  const int T = TypeIndex(R.Type);
  if (PaysOut(R.Type) && FCash[reg::CashInDrawer] < NetCash) return kNotEnoughCash;

  // Registers.
  std::array<TMoneyUnits, kTaxGroupCount> TaxSums{};
  for (int D = 1; D <= kDepartmentCount; ++D) {
    AddCash(reg::DepartmentTurnover(T, D), R.Departments[D - 1]);
    Count(reg::DepartmentOperations(T, D), R.DepartmentCounts[D - 1]);
  }
  for (int G = 1; G <= kTaxGroupCount; ++G) {
    const std::int64_t Rate = FTables.Int(kTableTaxes, G, 1);
    TaxSums[G - 1] = (R.TaxTurnover[G - 1] * Rate * 2 + (10000 + Rate)) / (2 * (10000 + Rate));
    AddCash(reg::TaxTurnover(T, G), R.TaxTurnover[G - 1]);
    AddCash(reg::TaxSum(T, G), TaxSums[G - 1]);
  }
  AddCash(reg::Discounts(T), R.Discounts + PercentDiscount);
  AddCash(reg::Charges(T), R.Charges);
  AddCash(reg::Stornos(T), R.Stornos);
  AddCash(reg::ReceiptTotals(T), Total);
  AddCash(reg::NonClearable(T), Total);
  AddCash(reg::Payments(T, 1), NetCash);
  for (int K = 2; K <= kPaymentTypeCount; ++K) AddCash(reg::Payments(T, K), Params.Payments[K - 1]);
  AddCash(reg::ChangeGiven, ChangeDue);
  AddCash(reg::CashInDrawer, PaysOut(R.Type) ? -NetCash : NetCash);
  Count(reg::ReceiptsClosed(T));
  Count(reg::DiscountCount(T), R.DiscountCount + (PercentDiscount ? 1 : 0));
  Count(reg::ChargeCount(T), R.ChargeCount);
  Count(reg::StornoCount(T), R.StornoCount);
  ++FReceiptsEver;
  CountPair(reg::ReceiptsLow);

  // Tape.
  if (PercentDiscount) {
    PrintTwoColumns(QString(_("СКИДКА %1%")).arg(MoneyText(Params.DiscountPercent)),
                    "=" + MoneyText(PercentDiscount));
  }
  PrintTwoColumns(_("ИТОГ"), "=" + MoneyText(Total));
  for (int K = 1; K <= kPaymentTypeCount; ++K)
    if (Params.Payments[K - 1])
      PrintTwoColumns(FTables.Text(kTablePaymentNames, K, 1),
                      "=" + MoneyText(Params.Payments[K - 1]));
  if (ChangeDue) PrintTwoColumns(_("СДАЧА"), "=" + MoneyText(ChangeDue));
  for (int G = 1; G <= kTaxGroupCount; ++G)
    if (TaxSums[G - 1])
      PrintTwoColumns(QString(_("В Т.Ч. %1")).arg(FTables.Text(kTableTaxes, G, 2)),
                      "=" + MoneyText(TaxSums[G - 1]));
  if (!Params.Text.isEmpty()) Print(Params.Text.left(LineWidth(1)));
  const int Operator = R.Operator;
  FReceipt.reset();
  PrintDocumentFooter(Operator);
  Change = ChangeDue;
  return kOk;
}

std::uint8_t TDevice::CancelReceipt(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (!FReceipt) return kNoReceipt;
  Count(reg::ReceiptsCancelled(TypeIndex(FReceipt->Type)));
  FReceipt.reset();
  PrintCentered(_("ЧЕК АННУЛИРОВАН"));
  PrintDocumentFooter(OperatorOf(Password));
  return kOk;
}

std::uint8_t TDevice::CashIncome(std::uint32_t Password, TMoneyUnits Amount) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (Amount <= 0 || Amount > kMaxAmount) return kBadParameter;
  const int Operator = OperatorOf(Password);
  if (std::uint8_t E = PrepareTrade(Operator)) return E;
  AddCash(reg::CashIn, Amount);
  AddCash(reg::CashInDrawer, Amount);
  Count(reg::CashInCount);
  PrintCentered(_("ВНЕСЕНИЕ"));
  PrintTwoColumns(_("СУММА"), "=" + MoneyText(Amount));
  PrintTwoColumns(_("НАЛИЧНОСТЬ В КАССЕ"), "=" + MoneyText(FCash[reg::CashInDrawer]));
  PrintDocumentFooter(Operator);
  return kOk;
}

std::uint8_t TDevice::CashOutcome(std::uint32_t Password, TMoneyUnits Amount) {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  NoteOperator(Password);
  if (Amount <= 0 || Amount > kMaxAmount) return kBadParameter;
  if (FReceipt) return kReceiptOpen;
  if (ShiftOver24Hours()) return kShiftOver24Hours;
  if (FCash[reg::CashInDrawer] < Amount) return kNotEnoughCash;
  const int Operator = OperatorOf(Password);
  if (std::uint8_t E = PrepareTrade(Operator)) return E;
  AddCash(reg::CashOut, Amount);
  AddCash(reg::CashInDrawer, -Amount);
  Count(reg::CashOutCount);
  PrintCentered(_("ВЫПЛАТА"));
  PrintTwoColumns(_("СУММА"), "=" + MoneyText(Amount));
  PrintTwoColumns(_("НАЛИЧНОСТЬ В КАССЕ"), "=" + MoneyText(FCash[reg::CashInDrawer]));
  PrintDocumentFooter(Operator);
  return kOk;
}

// ---- Tables -----------------------------------------------------------------

std::uint8_t TDevice::GetTableStruct(std::uint32_t Password, int Table,
                                     TTableStruct& Struct) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  const TTableStruct* T = nullptr;
  if (std::uint8_t E = FTables.GetTableStruct(Table, &T)) return E;
  Struct = *T;
  return kOk;
}

std::uint8_t TDevice::GetFieldStruct(std::uint32_t Password, int Table, int Field,
                                     TFieldStruct& Struct) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  const TFieldStruct* F = nullptr;
  if (std::uint8_t E = FTables.GetFieldStruct(Table, Field, &F)) return E;
  Struct = *F;
  return kOk;
}

std::uint8_t TDevice::ReadTable(std::uint32_t Password, int Table, int Row, int Field,
                                TFieldValue& Value) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  return FTables.Read(Table, Row, Field, Value);
}

std::uint8_t TDevice::WriteTable(std::uint32_t Password, int Table, int Row, int Field,
                                 const TFieldValue& Value) {
  TLock L(FMutex);
  if (!(Table == kTableService && Password == 0)) {
    if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
    NoteOperator(Password);
  }
  return FTables.Write(Table, Row, Field, Value);
}

std::uint8_t TDevice::InitTables(std::uint32_t Password) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (FReceipt) return kReceiptOpen;
  if (FShiftOpen) return kShiftOpen;
  FTables.Init(0);
  FTables.Set(kTableRegistration, 1, 1, FIdentity.SerialNumber);
  FTables.Set(kTableRegistration, 1, 4, FIdentity.FNSerialNumber);
  return kOk;
}

std::uint8_t TDevice::ReadModelParam(int Number, TModelParam& Param) const {
  const TModelParam* P = FindModelParam(Number);
  if (!P) return kNoSuchField;
  Param = *P;
  return kOk;
}

std::uint8_t TDevice::ReadModelParamByIndex(int Index, TModelParam& Param) const {
  if (Index < 0 || Index >= static_cast<int>(ModelParams().size())) return kNoSuchField;
  Param = ModelParams()[Index];
  return kOk;
}

QDateTime TDevice::LastDocumentTime() const {
  TLock L(FMutex);
  return FLastDocumentTime;
}

std::uint8_t TDevice::GetExchangeParams(std::uint32_t Password, int Port,
                                        TExchangeParams& Params) const {
  TLock L(FMutex);
  if (std::uint8_t E = Authenticate(Password)) return E;
  if (Port < 0 || Port >= kInterfaceCount) return kBadParameter;
  Params = FExchange[Port];
  return kOk;
}

std::uint8_t TDevice::SetExchangeParams(std::uint32_t Password, int Port,
                                        const TExchangeParams& Params) {
  TLock L(FMutex);
  if (std::uint8_t E = AuthenticateAdministrator(Password)) return E;
  NoteOperator(Password);
  if (Port < 0 || Port >= kInterfaceCount || Params.BaudRate < 0 || Params.BaudRate > 9 ||
      Params.Timeout < 1 || Params.TCPPort < 1)
    return kBadParameter;
  FExchange[Port] = Params;
  return kOk;
}

int TDevice::PreviousECRMode() const {
  TLock L(FMutex);
  return FPreviousMode;
}

}  // namespace vkkt
