// A shift on the virtual KKT: receipts add up in the registers and print on
// the tape; cancel and storno; the modes through a shift.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

using namespace vkkt;

namespace {

constexpr std::uint32_t kCashier = 1;
constexpr std::uint32_t kAdmin = 30;

// Quantity in thousandths (the device takes millionths).
TItem Item(std::int64_t Quantity, TMoneyUnits Price, int Department = 1, int Tax = 0,
           const QString& Text = {}) {
  TItem I;
  I.Quantity = Quantity * 1000;
  I.Price = Price;
  I.Department = Department;
  I.Taxes = {Tax, 0, 0, 0};
  I.Text = Text;
  return I;
}

TCloseParams Cash(TMoneyUnits Amount) {
  TCloseParams P;
  P.Payments[0] = Amount;
  return P;
}

TMoneyUnits CashReg(const TDevice& D, int N) {
  TMoneyUnits V = -1;
  QString Name;
  EXPECT_EQ(D.CashRegister(kCashier, N, V, Name), kOk) << N;
  return V;
}

std::int64_t OperReg(const TDevice& D, int N) {
  std::int64_t V = -1;
  QString Name;
  EXPECT_EQ(D.OperationRegister(kCashier, N, V, Name), kOk) << N;
  return V;
}

int IndexOf(const QStringList& Tape, const QString& Part, int From = 0) {
  for (int I = From; I < Tape.size(); ++I)
    if (Tape[I].contains(Part)) return I;
  return -1;
}

}  // namespace

TEST(VkktShift, TwoReceiptsAddUpInTheRegistersAndPrintOnTheTape) {
  TDevice D;
  ASSERT_EQ(D.OpenSession(kCashier), kOk);
  // Receipt 1: 2 x 100.00 in department 1 (VAT 20%), 1.5 x 10.00 in department 2, 5.00 off;
  // paid 250.00 cash.
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(2000, 10000, 1, 1, "Хлеб")), kOk);
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(1500, 1000, 2)), kOk);
  ASSERT_EQ(D.Discount(kCashier, 500, {}), kOk);
  TMoneyUnits Total = 0;
  ASSERT_EQ(D.Subtotal(kCashier, Total), kOk);
  EXPECT_EQ(Total, 20000 + 1500 - 500);
  TMoneyUnits Change = -1;
  ASSERT_EQ(D.CloseReceipt(kCashier, Cash(25000), Change), kOk);
  EXPECT_EQ(Change, 25000 - 21000);
  // Receipt 2: 3 x 33.33 in department 1, paid 50.00 cash and 49.99 by card, 10% off at close.
  ASSERT_EQ(D.OpenReceipt(kCashier, TReceiptType::Sale), kOk);
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(3000, 3333)), kOk);
  TCloseParams P = Cash(5000);
  P.Payments[1] = 4999;
  P.DiscountPercent = 1000;
  ASSERT_EQ(D.CloseReceipt(kCashier, P, Change), kOk);
  const TMoneyUnits Second = 9999 - 1000;  // 10% of 99.99 is 10.00 (rounded)
  EXPECT_EQ(Change, 5000 + 4999 - Second);

  const int Sale = 0;
  EXPECT_EQ(CashReg(D, reg::DepartmentTurnover(Sale, 1)), 20000 + 9999);
  EXPECT_EQ(CashReg(D, reg::DepartmentTurnover(Sale, 2)), 1500);
  EXPECT_EQ(CashReg(D, reg::Discounts(Sale)), 500 + 1000);
  EXPECT_EQ(CashReg(D, reg::ReceiptTotals(Sale)), 21000 + Second);
  EXPECT_EQ(CashReg(D, reg::ReceiptTotals(Sale)), CashReg(D, reg::DepartmentTurnover(Sale, 1)) +
                                                      CashReg(D, reg::DepartmentTurnover(Sale, 2)) -
                                                      CashReg(D, reg::Discounts(Sale)) +
                                                      CashReg(D, reg::Charges(Sale)));
  // Payments, cash net of change, add up to the receipt totals and the cash in the drawer.
  EXPECT_EQ(CashReg(D, reg::Payments(Sale, 1)) + CashReg(D, reg::Payments(Sale, 2)),
            CashReg(D, reg::ReceiptTotals(Sale)));
  EXPECT_EQ(CashReg(D, reg::CashInDrawer), CashReg(D, reg::Payments(Sale, 1)));
  EXPECT_EQ(CashReg(D, reg::TaxTurnover(Sale, 1)), 20000);
  EXPECT_EQ(CashReg(D, reg::TaxSum(Sale, 1)), 3333);  // 200.00 * 20 / 120
  EXPECT_EQ(OperReg(D, reg::ReceiptsClosed(Sale)), 2);
  EXPECT_EQ(OperReg(D, reg::DepartmentOperations(Sale, 1)), 2);
  EXPECT_EQ(D.DocumentNumber(), 3);  // shift opening and two receipts

  const QStringList Tape = D.Tape();
  const int Open = IndexOf(Tape, "ОТЧЁТ ОБ ОТКРЫТИИ СМЕНЫ");
  const int First = IndexOf(Tape, "Хлеб", Open);
  const int FirstTotal = IndexOf(Tape, "ИТОГ", First);
  const int SecondTotal = IndexOf(Tape, "ИТОГ", FirstTotal + 1);
  ASSERT_GE(Open, 0);
  ASSERT_GT(First, Open);
  ASSERT_GT(FirstTotal, First);
  ASSERT_GT(SecondTotal, FirstTotal);
  EXPECT_TRUE(Tape[FirstTotal].endsWith("=210.00")) << Tape[FirstTotal].toStdString();
  EXPECT_TRUE(Tape[IndexOf(Tape, "СДАЧА")].endsWith("=40.00"));
  EXPECT_TRUE(Tape[SecondTotal].endsWith("=89.99")) << Tape[SecondTotal].toStdString();
  EXPECT_GT(IndexOf(Tape, "2.000 X 100.00"), Open);

  // The shift closing report prints the totals and clears the shift registers.
  D.TakeTape();
  ASSERT_EQ(D.PrintReportWithCleaning(kCashier), kOk);
  const QStringList Report = D.Tape();
  ASSERT_GE(IndexOf(Report, "ОТЧЁТ О ЗАКРЫТИИ СМЕНЫ"), 0);
  EXPECT_TRUE(Report[IndexOf(Report, "ПРОДАЖА")].endsWith("=299.99"));
  EXPECT_EQ(CashReg(D, reg::ReceiptTotals(Sale)), 0);
  EXPECT_EQ(OperReg(D, reg::ReceiptsClosed(Sale)), 0);
  EXPECT_EQ(CashReg(D, reg::NonClearable(Sale)), 21000 + Second);
  EXPECT_EQ(CashReg(D, reg::CashInDrawer), 21000 + 5000 - (5000 + 4999 - Second));
  EXPECT_EQ(OperReg(D, reg::ReceiptsLow), 2);
  EXPECT_EQ(OperReg(D, reg::ShiftReportsLow), 1);
}

TEST(VkktShift, ModesThroughAShift) {
  TDevice D;
  EXPECT_EQ(D.ECRMode(), kModeShiftClosed);
  EXPECT_EQ(D.PrintReportWithCleaning(kCashier), kShiftClosed);
  ASSERT_EQ(D.OpenSession(kCashier), kOk);
  EXPECT_EQ(D.ECRMode(), kModeShiftOpen);
  EXPECT_EQ(D.CurrentShift(), 1);
  EXPECT_EQ(D.OpenSession(kCashier), kShiftOpen);
  ASSERT_EQ(D.OpenReceipt(kCashier, TReceiptType::ReturnSale), kOk);
  EXPECT_EQ(D.ECRMode(), kModeReceiptOpen);
  EXPECT_EQ(D.ECRModeStatus(), 2);
  EXPECT_EQ(D.PrintReportWithCleaning(kCashier), kReceiptOpen);
  ASSERT_EQ(D.CancelReceipt(kCashier), kOk);
  EXPECT_EQ(D.ECRMode(), kModeShiftOpen);
  D.AdvanceClock(24 * 3600 + 1);
  EXPECT_EQ(D.ECRMode(), kModeShiftOver24Hours);
  EXPECT_EQ(D.OpenReceipt(kCashier, TReceiptType::Sale), kShiftOver24Hours);
  EXPECT_EQ(D.CashIncome(kCashier, 100), kShiftOver24Hours);
  ASSERT_EQ(D.PrintReportWithCleaning(kCashier), kOk);
  EXPECT_EQ(D.ECRMode(), kModeShiftClosed);
  EXPECT_EQ(D.LastClosedShift(), 1);
  // The first receipt of a closed shift opens the next shift.
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(1000, 100)), kOk);
  EXPECT_EQ(D.ECRMode(), kModeReceiptOpen);
  EXPECT_EQ(D.CurrentShift(), 2);
}

TEST(VkktShift, CancelLeavesTheRegistersAsTheyWere) {
  TDevice D;
  ASSERT_EQ(D.CashIncome(kCashier, 10000), kOk);
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(1000, 5000)), kOk);
  ASSERT_EQ(D.CancelReceipt(kCashier), kOk);
  EXPECT_EQ(D.CancelReceipt(kCashier), kNoReceipt);
  EXPECT_EQ(CashReg(D, reg::ReceiptTotals(0)), 0);
  EXPECT_EQ(CashReg(D, reg::DepartmentTurnover(0, 1)), 0);
  EXPECT_EQ(CashReg(D, reg::CashInDrawer), 10000);
  EXPECT_EQ(OperReg(D, reg::ReceiptsCancelled(0)), 1);
  EXPECT_GE(IndexOf(D.Tape(), "ЧЕК АННУЛИРОВАН"), 0);
}

TEST(VkktShift, StornoTakesBackWhatTheReceiptHolds) {
  TDevice D;
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(2000, 1000, 3)), kOk);
  EXPECT_EQ(D.Storno(kCashier, Item(3000, 1000, 3)), kStornoExceeds);
  EXPECT_EQ(D.Storno(kCashier, Item(1000, 1000, 4)), kStornoExceeds);
  ASSERT_EQ(D.Storno(kCashier, Item(1000, 1000, 3)), kOk);
  TMoneyUnits Total = 0;
  ASSERT_EQ(D.Subtotal(kCashier, Total), kOk);
  EXPECT_EQ(Total, 1000);
  TMoneyUnits Change = 0;
  ASSERT_EQ(D.CloseReceipt(kCashier, Cash(1000), Change), kOk);
  EXPECT_EQ(CashReg(D, reg::DepartmentTurnover(0, 3)), 1000);
  EXPECT_EQ(CashReg(D, reg::Stornos(0)), 1000);
  EXPECT_EQ(OperReg(D, reg::StornoCount(0)), 1);
  EXPECT_GE(IndexOf(D.Tape(), "СТОРНО"), 0);
  EXPECT_EQ(D.Storno(kCashier, Item(1000, 1000, 3)), kNoReceipt);  // no receipt open
}

struct TRefusal {
  const char* What;
  std::function<std::uint8_t(TDevice&)> Step;
  std::uint8_t Code;
};

TEST(VkktShift, RefusedOperationsChangeNothing) {
  const std::vector<TRefusal> Cases = {
      {"unknown password", [](TDevice& D) { return D.OpenSession(12345); }, kWrongPassword},
      {"payment short",
       [](TDevice& D) {
         TMoneyUnits C;
         return D.CloseReceipt(kCashier, Cash(999), C);
       },
       kPaymentShort},
      {"card beyond total",
       [](TDevice& D) {
         TCloseParams P;
         P.Payments[1] = 1001;
         TMoneyUnits C;
         return D.CloseReceipt(kCashier, P, C);
       },
       kNonCashExceeds},
      {"discount beyond subtotal", [](TDevice& D) { return D.Discount(kCashier, 1001, {}); },
       kDiscountExceeds},
      {"other receipt type",
       [](TDevice& D) { return D.Register(kCashier, TReceiptType::Buy, Item(1000, 1)); },
       kWrongReceiptType},
      {"department 17",
       [](TDevice& D) { return D.Register(kCashier, TReceiptType::Sale, Item(1000, 1, 17)); },
       kBadParameter},
      {"cash out with a receipt open", [](TDevice& D) { return D.CashOutcome(kCashier, 1); },
       kReceiptOpen},
      {"a shift report with a receipt open",
       [](TDevice& D) { return D.PrintReportWithoutCleaning(kCashier); }, kReceiptOpen},
  };
  for (const TRefusal& C : Cases) {
    TDevice D;
    ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(1000, 1000)), kOk);
    const QStringList Before = D.Tape();
    EXPECT_EQ(C.Step(D), C.Code) << C.What;
    EXPECT_EQ(D.Tape(), Before) << C.What;
    TMoneyUnits Total = 0;
    ASSERT_EQ(D.Subtotal(kCashier, Total), kOk);
    EXPECT_EQ(Total, 1000) << C.What;
    EXPECT_EQ(D.OperationsInReceipt(), 1) << C.What;
  }
}

TEST(VkktShift, CashMovesThroughTheDrawer) {
  TDevice D;
  EXPECT_EQ(D.CashOutcome(kCashier, 1), kNotEnoughCash);
  EXPECT_EQ(D.ECRMode(), kModeShiftClosed);  // the refusal opened no shift
  ASSERT_EQ(D.CashIncome(kCashier, 5000), kOk);
  ASSERT_EQ(D.CashOutcome(kCashier, 2000), kOk);
  EXPECT_EQ(CashReg(D, reg::CashInDrawer), 3000);
  EXPECT_EQ(CashReg(D, reg::CashIn), 5000);
  EXPECT_EQ(CashReg(D, reg::CashOut), 2000);
  // A return pays out of the drawer and needs the cash there.
  ASSERT_EQ(D.Register(kCashier, TReceiptType::ReturnSale, Item(1000, 4000)), kOk);
  TMoneyUnits Change = 0;
  EXPECT_EQ(D.CloseReceipt(kCashier, Cash(4000), Change), kNotEnoughCash);
  TCloseParams Mixed = Cash(2500);
  Mixed.Payments[1] = 1500;
  ASSERT_EQ(D.CloseReceipt(kCashier, Mixed, Change), kOk);
  EXPECT_EQ(CashReg(D, reg::CashInDrawer), 500);
  EXPECT_EQ(CashReg(D, reg::ReceiptTotals(2)), 4000);
}

TEST(VkktShift, AnEmptyReceiptDoesNotClose) {
  TDevice D;
  ASSERT_EQ(D.OpenReceipt(kCashier, TReceiptType::Sale), kOk);
  TMoneyUnits Change = 0;
  EXPECT_EQ(D.CloseReceipt(kCashier, Cash(0), Change), kEmptyReceipt);
  // A receipt whose items round to nothing closes with nothing to pay.
  ASSERT_EQ(D.Register(kCashier, TReceiptType::Sale, Item(1, 1)), kOk);
  EXPECT_EQ(D.CloseReceipt(kCashier, Cash(0), Change), kOk);
}

TEST(VkktShift, OperatorsAndTheAdministrator) {
  TDevice D;
  EXPECT_EQ(D.OperatorOf(1), 1);
  EXPECT_EQ(D.OperatorOf(29), 29);
  EXPECT_EQ(D.OperatorOf(kAdmin), kAdministrator);
  EXPECT_EQ(D.OperatorOf(0), 0);
  EXPECT_EQ(D.SetTime(kCashier, QTime(9, 0)), kNeedsAdministrator);
  ASSERT_EQ(D.WriteTable(kAdmin, 2, 5, 1, std::int64_t{4242}), kOk);
  EXPECT_EQ(D.OperatorOf(4242), 5);
  EXPECT_EQ(D.OperatorOf(5), 0);
  ASSERT_EQ(D.OpenSession(4242), kOk);
  EXPECT_EQ(D.LastOperator(), 5);
}

TEST(VkktShift, TheClockIsSetByTheAdministrator) {
  TDevice D;
  const QDateTime Start = D.Now();
  EXPECT_EQ(D.Now(), Start);  // it stands still
  EXPECT_EQ(D.ConfirmDate(kAdmin, QDate(2026, 2, 1)), kDateNotConfirmed);
  ASSERT_EQ(D.SetDate(kAdmin, QDate(2026, 2, 1)), kOk);
  EXPECT_EQ(D.ConfirmDate(kAdmin, QDate(2026, 2, 2)), kDateNotConfirmed);
  ASSERT_EQ(D.ConfirmDate(kAdmin, QDate(2026, 2, 1)), kOk);
  ASSERT_EQ(D.SetTime(kAdmin, QTime(8, 30, 15)), kOk);
  EXPECT_EQ(D.Now(), QDateTime(QDate(2026, 2, 1), QTime(8, 30, 15), Qt::UTC));
  ASSERT_EQ(D.OpenSession(kCashier), kOk);
  EXPECT_EQ(D.SetDate(kAdmin, QDate(2026, 2, 3)), kShiftOpen);
}
