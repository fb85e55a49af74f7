#pragma once
// The numbering of the virtual KKT's registers. Cash registers hold money in
// minor units (kopecks), operation registers hold counts; both are numbered
// 0..255. Per receipt type t (0 sale, 1 buy, 2 return of a sale, 3 return of
// a buy) and department d (1..16), payment type k (1..16), tax group g (1..6):
//
//   cash  t*16 + d-1         turnover of department d          (shift)
//   cash  64 + t / 68 + t    discounts / charges               (shift)
//   cash  72 + t*16 + k-1    payments of type k, cash net of change (shift)
//   cash  136 + t            receipt totals                    (shift)
//   cash  140 + t*6 + g-1    turnover of tax group g           (shift)
//   cash  164 + t*6 + g-1    tax of group g                    (shift)
//   cash  188 + t            storno totals                     (shift)
//   cash  192 / 193 / 194    cash in / cash out / change given (shift)
//   cash  241                cash in the drawer                (kept)
//   cash  245 + t            non-clearable totals              (kept)
//   oper  t*16 + d-1         operations of department d        (shift)
//   oper  64 + t             receipts closed                   (shift)
//   oper  68 + t             receipts cancelled                (shift)
//   oper  72 + t / 76 + t    discounts / charges               (shift)
//   oper  80 + t             stornos                           (shift)
//   oper  84 / 85            cash ins / cash outs              (shift)
//   oper  (185,186)          documents, 32 bits low word first (kept)
//   oper  (196,197)          receipts closed, 32 bits          (kept)
//   oper  (198,199)          shift closing reports, 32 bits    (kept)
//
// Registers marked "shift" are cleared by the shift closing report. The other
// numbers exist and hold 0. Extended cash registers 4096..4490 exist too and
// hold 0 on this model.

#include <QString>

namespace vkkt {

constexpr int kRegisterCount = 256;
constexpr int kFirstExtendedCashRegister = 4096;
constexpr int kLastExtendedCashRegister = 4490;

namespace reg {
constexpr int DepartmentTurnover(int Type, int Department) {
  return Type * 16 + Department - 1;
}
constexpr int Discounts(int Type) {
  return 64 + Type;
}
constexpr int Charges(int Type) {
  return 68 + Type;
}
constexpr int Payments(int Type, int Kind) {
  return 72 + Type * 16 + Kind - 1;
}
constexpr int ReceiptTotals(int Type) {
  return 136 + Type;
}
constexpr int TaxTurnover(int Type, int Group) {
  return 140 + Type * 6 + Group - 1;
}
constexpr int TaxSum(int Type, int Group) {
  return 164 + Type * 6 + Group - 1;
}
constexpr int Stornos(int Type) {
  return 188 + Type;
}
constexpr int CashIn = 192;
constexpr int CashOut = 193;
constexpr int ChangeGiven = 194;
constexpr int LastShiftCashRegister = 194;
constexpr int CashInDrawer = 241;
constexpr int NonClearable(int Type) {
  return 245 + Type;
}

constexpr int DepartmentOperations(int Type, int Department) {
  return Type * 16 + Department - 1;
}
constexpr int ReceiptsClosed(int Type) {
  return 64 + Type;
}
constexpr int ReceiptsCancelled(int Type) {
  return 68 + Type;
}
constexpr int DiscountCount(int Type) {
  return 72 + Type;
}
constexpr int ChargeCount(int Type) {
  return 76 + Type;
}
constexpr int StornoCount(int Type) {
  return 80 + Type;
}
constexpr int CashInCount = 84;
constexpr int CashOutCount = 85;
constexpr int LastShiftOperationRegister = 85;
constexpr int DocumentsLow = 185;
constexpr int ReceiptsLow = 196;
constexpr int ShiftReportsLow = 198;
}  // namespace reg

// Names as the device reports them.
QString CashRegisterName(int Number);
QString OperationRegisterName(int Number);

}  // namespace vkkt
