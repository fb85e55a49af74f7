#pragma once
// The virtual KKT: a fiscal cash register with real state. It holds its
// identity and model facts, the clock, operators and passwords, the shift,
// the open receipt, the cash and operation registers, the device tables and
// the print tape. Every operation returns the device's error byte (0 on
// success, DeviceErrors.h) and changes nothing when it fails.
//
// Money is in minor units (kopecks), quantities in millionths. Passwords:
// operator n (1..29) is row n of table 2, the system administrator is row 30;
// at the factory the password of row n is n, so 30 is the administrator's.
// A password that no row holds is refused; the first row that holds it wins.
//
// The driver's in-process transport reaches one device per process
// (tessel::InProcessDevice, made by CreateVirtualKkt in VirtualKkt.cpp);
// driver instances come and go without resetting it. Tests and tools make
// devices of their own with the constructor.
// Every public member locks the device, so threads may share it.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

#include "tessel/Codec.h"
#include "tessel/vkkt/Clock.h"
#include "tessel/vkkt/DeviceTables.h"
#include "tessel/vkkt/ModelInfo.h"
#include "tessel/vkkt/Registers.h"

namespace vkkt {

using TMoneyUnits = std::int64_t;

// ECRMode values.
constexpr int kModeShiftOpen = 2;
constexpr int kModeShiftOver24Hours = 3;
constexpr int kModeShiftClosed = 4;
constexpr int kModeReceiptOpen = 8;

constexpr int kAdministrator = 30;  // the operator number (row of table 2) of the administrator
constexpr int kOperatorCount = 30;
constexpr int kDepartmentCount = 16;
constexpr int kPaymentTypeCount = 16;
constexpr int kTaxGroupCount = 6;
constexpr int kStatusRecordSize = 50;

// Receipt types, in the numbering of the receipt-opening command.
enum class TReceiptType { Sale = 0, Buy = 1, ReturnSale = 2, ReturnBuy = 3 };

struct TItem {
  std::int64_t Quantity = 1'000'000;  // millionths
  TMoneyUnits Price = 0;
  int Department = 1;          // 1..16; 0 is the first department
  std::array<int, 4> Taxes{};  // tax groups 0 (none) .. 6; the first non-zero one applies
  QString Text;
};

struct TCloseParams {
  std::array<TMoneyUnits, kPaymentTypeCount> Payments{};  // type 1 is cash
  int DiscountPercent = 0;                                // hundredths of a per cent, 0..9999
  QString Text;
};

class TDevice {
 public:
  TDevice();
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  // One command block in, one answer block out (CommandHandlers.cpp).
  QByteArray Execute(const QByteArray& Command);

  // ---- Clock --------------------------------------------------------------
  QDateTime Now() const;
  void SetClock(const QDateTime& Value);
  void AdvanceClock(qint64 Seconds);
  void FollowSystemClock(bool On);
  // The administrator sets the date while the shift is closed, then confirms
  // it with the same date; the time can be set whenever no receipt is open.
  std::uint8_t SetDate(std::uint32_t Password, const QDate& Date);
  std::uint8_t ConfirmDate(std::uint32_t Password, const QDate& Date);
  std::uint8_t SetTime(std::uint32_t Password, const QTime& Time);

  // ---- Identity and state -------------------------------------------------
  TIdentity Identity() const;
  std::uint8_t SetSerialNumber(std::uint32_t Password, const QString& Serial);
  // Operator number (1..30) of a password, or 0.
  int OperatorOf(std::uint32_t Password) const;
  int ECRMode() const;
  int ECRAdvancedMode() const;
  // In mode 8 the type of the open receipt (0..3), else 0.
  int ECRModeStatus() const;
  int DocumentNumber() const;  // number of the last document printed
  int LastClosedShift() const;
  int CurrentShift() const;  // the open shift's number, or 0
  int OperationsInReceipt() const;
  // Operator number of the last command that gave a valid password.
  int LastOperator() const;
  // The mode before the last change of mode.
  int PreviousECRMode() const;
  // The 50-byte status record (Halden's TStatusRec) for this password.
  std::uint8_t StatusRecord(std::uint32_t Password, QByteArray& Record);
  // Device flags of the status answers: bit 0 receipt paper present, bit 4
  // amounts with two decimals, bit 5 FN present.
  static constexpr int kDeviceFlags = 0x0031;

  // ---- Shift --------------------------------------------------------------
  std::uint8_t OpenSession(std::uint32_t Password);
  std::uint8_t PrintReportWithoutCleaning(std::uint32_t Password);
  std::uint8_t PrintReportWithCleaning(std::uint32_t Password);

  // ---- Receipts -----------------------------------------------------------
  // Opening a receipt, and the first operation or cash movement when the
  // shift is closed, opens the shift first, as the model does.
  std::uint8_t OpenReceipt(std::uint32_t Password, TReceiptType Type);
  // A sale, buy or return: opens a receipt of that type when none is open.
  std::uint8_t Register(std::uint32_t Password, TReceiptType Type, const TItem& Item);
  // Takes back part of what a department holds in the open receipt.
  std::uint8_t Storno(std::uint32_t Password, const TItem& Item);
  std::uint8_t Discount(std::uint32_t Password, TMoneyUnits Amount, const QString& Text);
  std::uint8_t Charge(std::uint32_t Password, TMoneyUnits Amount, const QString& Text);
  std::uint8_t StornoDiscount(std::uint32_t Password, TMoneyUnits Amount, const QString& Text);
  std::uint8_t StornoCharge(std::uint32_t Password, TMoneyUnits Amount, const QString& Text);
  std::uint8_t Subtotal(std::uint32_t Password, TMoneyUnits& Total);
  std::uint8_t CloseReceipt(std::uint32_t Password, const TCloseParams& Params,
                            TMoneyUnits& Change);
  // Any operator may cancel; the administrator's cancel is the same command
  // with the administrator's password.
  std::uint8_t CancelReceipt(std::uint32_t Password);
  std::uint8_t CashIncome(std::uint32_t Password, TMoneyUnits Amount);
  std::uint8_t CashOutcome(std::uint32_t Password, TMoneyUnits Amount);

  // ---- Printing -----------------------------------------------------------
  std::uint8_t PrintString(std::uint32_t Password, const QString& Text, int Font = 1);
  std::uint8_t FeedDocument(std::uint32_t Password, int Lines);
  std::uint8_t CutCheck(std::uint32_t Password);
  // Every line printed so far, in order.
  QStringList Tape() const;
  // The lines printed so far; the tape is empty afterwards.
  QStringList TakeTape();

  // ---- Registers ----------------------------------------------------------
  std::uint8_t CashRegister(std::uint32_t Password, int Number, TMoneyUnits& Value,
                            QString& Name) const;
  std::uint8_t OperationRegister(std::uint32_t Password, int Number, std::int64_t& Value,
                                 QString& Name) const;

  // ---- Tables -------------------------------------------------------------
  std::uint8_t GetTableStruct(std::uint32_t Password, int Table, TTableStruct& Struct) const;
  std::uint8_t GetFieldStruct(std::uint32_t Password, int Table, int Field,
                              TFieldStruct& Struct) const;
  std::uint8_t ReadTable(std::uint32_t Password, int Table, int Row, int Field,
                         TFieldValue& Value) const;
  // Needs the administrator; table 10 (service settings) also takes password 0.
  std::uint8_t WriteTable(std::uint32_t Password, int Table, int Row, int Field,
                          const TFieldValue& Value);
  // Factory values of every table; needs the administrator and a closed shift.
  std::uint8_t InitTables(std::uint32_t Password);

  // ---- Exchange parameters of the device's interfaces ---------------------
  // Interface codes 0 RS-232, 1 USB, 2 TCP socket, 3 I2C.
  struct TExchangeParams {
    int BaudRate = 6;   // code 0..9; 6 is 115200
    int Timeout = 150;  // ms
    int TCPPort = 7778;
  };
  static constexpr int kInterfaceCount = 4;
  std::uint8_t GetExchangeParams(std::uint32_t Password, int Port, TExchangeParams& Params) const;
  std::uint8_t SetExchangeParams(std::uint32_t Password, int Port, const TExchangeParams& Params);

  // ---- FN -------------------------------------------------------------------
  // The fiscal storage of this model is not yet registered: ready for its
  // fiscalisation, serving until the end of its validity.
  QDate FNValidUntil() const { return QDate(2029, 1, 31); }
  QDateTime LastDocumentTime() const;

  // ---- Model facts --------------------------------------------------------
  // Model facts need no password, as on the real model; 93 for a number or
  // an index the model does not have.
  std::uint8_t ReadModelParam(int Number, TModelParam& Param) const;
  std::uint8_t ReadModelParamByIndex(int Index, TModelParam& Param) const;

 private:
  struct TReceipt {
    TReceiptType Type = TReceiptType::Sale;
    int Operator = 0;
    TMoneyUnits Total = 0;
    std::array<TMoneyUnits, kDepartmentCount> Departments{};
    std::array<std::int64_t, kDepartmentCount> DepartmentCounts{};
    std::array<TMoneyUnits, kTaxGroupCount> TaxTurnover{};
    TMoneyUnits Discounts = 0, Charges = 0, Stornos = 0;
    int DiscountCount = 0, ChargeCount = 0, StornoCount = 0, Operations = 0;
  };

  using TLock = std::lock_guard<std::recursive_mutex>;
  QByteArray ExecuteLocked(const QByteArray& Command);
  // Handles one decoded request (CommandHandlers.cpp): fills the answer's
  // fields and returns the error byte.
  std::uint8_t Handle(const tessel::TRequest& Request, tessel::TFieldValues& Answer);
  void FillStatus(int Operator, tessel::TFieldValues& Answer) const;

  std::uint8_t Authenticate(std::uint32_t Password) const;
  std::uint8_t AuthenticateAdministrator(std::uint32_t Password) const;
  void NoteOperator(std::uint32_t Password);
  // May a receipt or cash movement start now? Opens the shift when closed.
  std::uint8_t PrepareTrade(int Operator);
  bool ShiftOver24Hours() const;
  void OpenShiftAndPrint(int Operator);
  void PrintReport(bool Clearing, int Operator);
  void Print(const QString& Line);
  void PrintTwoColumns(const QString& Left, const QString& Right);
  void PrintCentered(const QString& Line);
  void PrintDocumentFooter(int Operator);
  QString OperatorName(int Operator) const;
  void AddCash(int Number, TMoneyUnits Amount);
  void Count(int Number, std::int64_t Amount = 1);
  void CountPair(int Low);
  void NextDocument();
  std::uint8_t ApplyAdjustment(std::uint32_t Password, TMoneyUnits Amount, const QString& Text,
                               bool IsCharge, bool IsStorno);

  mutable std::recursive_mutex FMutex;
  TIdentity FIdentity;
  TClock FClock;
  std::optional<QDate> FPendingDate;
  TDeviceTables FTables;
  QStringList FTape;
  std::array<TMoneyUnits, kRegisterCount> FCash{};
  std::array<std::int64_t, kRegisterCount> FOperations{};
  std::uint32_t FDocuments = 0, FReceiptsEver = 0, FShiftReports = 0;
  bool FShiftOpen = false;
  int FShiftNumber = 0;  // the open shift's number, or the last closed one's
  QDateTime FShiftStart;
  std::optional<TReceipt> FReceipt;
  int FLastOperator = 0;
  int FPreviousMode = kModeShiftClosed;
  std::array<TExchangeParams, kInterfaceCount> FExchange{};
  QDateTime FLastDocumentTime;
};

// "123.45" for 12345 minor units, "-0.05" for -5.
QString MoneyText(TMoneyUnits Amount);

}  // namespace vkkt
