#pragma once
// TDriver: the one driver object that every page reaches, with the helpers
// the pages share (model facts, device tables, FN tags, raw commands,
// multi-line printing, amounts as text).
//
// It wraps the driver instance that CreateDriver gives; the typed accessors
// are reached through ->:  Driver()->SetDrawerNumber(0); Driver()->OpenDrawer();

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

#include "driver/IDriver.h"

class TDriver {
 public:
  explicit TDriver(std::unique_ptr<IDriver> Instance);

  IDriver* operator->() { return FInstance.get(); }
  IDriver& Instance() { return *FInstance; }

  // Model parameters through ReadModelParamValue (checked).
  int ReadIntParam(int ParamID);
  bool ReadBoolParam(int ParamID);

#define TB_BOOL_PARAM(Name, Id) \
  bool Name() { return ReadBoolParam(Id); }
#define TB_INT_PARAM(Name, Id) \
  int Name() { return ReadIntParam(Id); }
  TB_BOOL_PARAM(CapJrnSensor, 1)
  TB_BOOL_PARAM(CapJrnOpticalSensor, 2)
  TB_BOOL_PARAM(CapJrnLeverSensor, 3)
  TB_BOOL_PARAM(CapRecSensor, 4)
  TB_BOOL_PARAM(CapRecOpticalSensor, 5)
  TB_BOOL_PARAM(CapRecLeverSensor, 6)
  TB_BOOL_PARAM(CapSlpDocumentHiSensor, 7)
  TB_BOOL_PARAM(CapSlpDocumentLoSensor, 8)
  TB_BOOL_PARAM(CapCoverSensor, 9)
  TB_BOOL_PARAM(CapEKLZOverflowSensor, 10)
  TB_BOOL_PARAM(CapTaxCalc, 11)
  TB_INT_PARAM(TaxCalcField, 12)
  TB_BOOL_PARAM(CapCashDrawerAsPresenter, 13)
  TB_BOOL_PARAM(CapCashDrawerSensor, 14)
  TB_BOOL_PARAM(CapPrsPaperInSensor, 15)
  TB_BOOL_PARAM(CapPrsPaperOutSensor, 16)
  TB_BOOL_PARAM(CapPresenter, 17)
  TB_BOOL_PARAM(CapPresenterCommands, 18)
  TB_BOOL_PARAM(CapBillAcceptor, 19)
  TB_BOOL_PARAM(CapSlip, 20)
  TB_BOOL_PARAM(CapNonfiscalDocument, 21)
  TB_BOOL_PARAM(CapJournal, 22)
  TB_BOOL_PARAM(CapTaxKeyboard, 23)
  TB_INT_PARAM(Font1Width, 24)
  TB_INT_PARAM(Font2Width, 25)
  TB_BOOL_PARAM(SwapLineBytes, 26)
  TB_INT_PARAM(FirstDrawLine, 27)
  TB_BOOL_PARAM(CapCashCore, 28)
  TB_INT_PARAM(InnDigitCount, 29)
  TB_INT_PARAM(RnmDigitCount, 30)
  TB_INT_PARAM(GetModelID, 32)
  TB_BOOL_PARAM(CapEJournal, 34)
  TB_BOOL_PARAM(GetCapEJournal, 34)
  TB_BOOL_PARAM(CapCutterPresent, 35)
  TB_INT_PARAM(DefaultTaxPassword, 36)
  TB_INT_PARAM(DefaultSysPassword, 37)
  TB_INT_PARAM(LongRnmDigitCount, 38)
  TB_INT_PARAM(LongSerialDigitCount, 39)
  TB_BOOL_PARAM(CapTaxPasswordLock, 40)
  TB_BOOL_PARAM(CapInnLeadingZeros, 41)
  TB_BOOL_PARAM(CapRnmLeadingZeros, 42)
  TB_BOOL_PARAM(CapAltProtocol, 44)
  TB_BOOL_PARAM(CapWrapNonFiscalString, 45)
  TB_BOOL_PARAM(CapWrapWithFontNonFiscapString, 46)
  TB_BOOL_PARAM(CapWrapFiscalString, 47)
  TB_BOOL_PARAM(CapWrapWithFontFiscalString, 48)
  TB_BOOL_PARAM(CapChiefCashier, 49)
  TB_BOOL_PARAM(CapLastPrintResult, 50)
  TB_BOOL_PARAM(CapLoadBlockGraphics, 51)
  TB_BOOL_PARAM(CapErrorDescription, 52)
  TB_INT_PARAM(MaxCmdLength, 53)
  TB_BOOL_PARAM(CapPrintFlagsGraphics, 54)
  TB_INT_PARAM(MaxLineWidth, 55)
  TB_BOOL_PARAM(CapSKNO, 57)
  TB_BOOL_PARAM(CapFN, 71)
  TB_INT_PARAM(FSTableNumber, 72)
#undef TB_BOOL_PARAM
#undef TB_INT_PARAM

  bool IsModelType2();
  static bool IsModelType2Id(int ModelId);

  // Device tables.
  int CorrectTableNumber(int Number);
  int ReadTableInt(int Table, int Row, int Field);
  QString ReadTableStr(int Table, int Row, int Field);
  int ReadTableDef(int Table, int Row, int Default, int Field);
  void WriteTableInt(int Table, int Row, int Value, int Field);

  // FN tags, all checked.
  void AddTagByte(int Tag, int Value);
  void AddTagStr(int Tag, const QString& Value);
  void AddTagUnixTime(int Tag, const QDateTime& Value);
  void SendTagStr(int Tag, const QString& Value);
  void SendTagUnixTime(int Tag, const QDateTime& Value);
  void SendTagStrOperation(int Tag, const QString& Value);
  void SendTagUnixTimeOperation(int Tag, const QDateTime& Value);
  void BeginSTLVTag(int Tag);
  void SendSTLVTag(int Tag);
  void SendSTLVTagOperation(int Tag);

  // Raw commands through ExchangeBytes; the code is returned.
  int SendCommand(const QByteArray& Bytes);
  int SendCommand(const QByteArray& Bytes, QByteArray& Response);

  QString AmountToStr(TMoney Amount);
  int GetPrintStringWidth(int Font);
  // Prints a text line by line in the font (0: the device wraps it); busy
  // answers (80, 75) are retried up to five attempts, Pause between them.
  void PrintText(const QString& Text, int Font);

  // The wait between print retries; tests set it to nothing.
  static void SetRetryPause(std::function<void()> Pause);

 private:
  std::unique_ptr<IDriver> FInstance;
};

// A non-zero code raises the silent abort.
void Check(int ResultCode);

// The shared driver, created on first use; a failure raises EUserError with
// "Ошибка создания объекта драйвера: " and the reason, and the next call tries
// again.
TDriver& Driver();
bool DriverExists();
void FreeDriver();
// Puts an instance in place of the shared one (tests; the print server page).
void InstallDriver(std::unique_ptr<IDriver> Instance);
