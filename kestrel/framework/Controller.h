#pragma once
// The wizard's process-wide controller: the navigation target, what was
// learned about the connected KKT, the registration data the pages collect,
// and the shared driver instance. It knows the main window only through
// IWizardWindow, so it is used and tested without widgets.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>

#include "driver/IDriver.h"

class TParamPage;

// 255 in a Byte or Integer field of TRegParams: nothing chosen yet.
inline constexpr int kUnset = 255;

struct TRegParams {
  bool FirstTime = false;
  bool OFDEnabled = false;
  bool NewFN = false;
  QString INN;
  QString RNM;
  QString User;
  QString Cashier;
  QString Address;
  uint8_t TaxSystem = kUnset;
  uint8_t Agent = kUnset;
  uint8_t WorkMode = kUnset;
  uint8_t WorkModeEx = kUnset;
  QString AutomatNumber;
  int ReasonCode = kUnset;
  int FFD = kUnset;
  QString TaxOfficeURL;
  QString SenderEmail;
  QString PayPlace;
  QString OFDName;
  QString OFDUrl;
  QString OFDINN;
  QString OFDServer;
  int OFDPort = 0;
  QString CashierINN;
  QString X5FactoryCode;
  int DocType = 0;
  bool PrinterInAutomat = false;
  QString FNSerial;
  QString KKTSerial;
  QDateTime DateTime;
  int DocNumber = 0;
  QString FiscalSign;
  QString VersionKKT;
  bool LotterySign = false;
  bool GameSign = false;
  bool ExciseSign = false;
  bool DeliveryTradeSign = false;
  bool PayTerminalSign = false;
  uint32_t ReasonCodesEx = 0;
  QString ServerKM;
  int PortKM = 0;
};

// What the controller asks of the main window.
class IWizardWindow {
 public:
  virtual ~IWizardWindow() = default;
  virtual bool NextEnabled() const = 0;
  virtual bool PrevEnabled() const = 0;
  virtual void EnableNext(bool Value) = 0;
  virtual void EnablePrev(bool Value) = 0;
  virtual void EnableHome(bool Value) = 0;
  virtual void EnableSettings(bool Value) = 0;
  virtual void Next() = 0;
  virtual void Prev() = 0;
  virtual void Home() = 0;
  virtual TParamPage* FindPageByClass(const QString& ClassName) const = 0;
};

class TController {
 public:
  // Page classes are named by their class names ("TfmSelectWorkType"); a
  // page is of a class when it or one of its bases has that name.
  QString PrevPageClass;
  QString NextPageClass;
  TParamPage* CurrentPage = nullptr;
  bool IsOFDSettingMode = false;
  QString SerialNumber;
  QString IP;
  bool DHCP = false;
  int TCPPort = 0;
  QString KKTName;
  QString KKTSN;
  bool Yur = false;
  bool IsRNDIS = false;
  int NetType = 0;
  bool IsComConnection = false;
  TRegParams RegParams;
  bool X5Mode = false;

  // The driver instance all pages share; null until the first page created it.
  std::unique_ptr<IDriver> Driver;
  // The main window, or null (no window: the button operations do nothing).
  IWizardWindow* Window = nullptr;

  // Presses Next (Back) on the main window, only while it is enabled.
  void Next();
  void Prev();
  void Home();
  void EnableNext(bool Value);
  void EnablePrev(bool Value);
  void EnableHome(bool Value);
  void EnableSettings(bool Value);
  TParamPage* FindPageByClass(const QString& ClassName) const;
  void ClearRegParams();
};

// The controller, created on first use.
TController& Controller();
// Tests only: a fresh controller in place of the old one.
void ResetController();

// "Kestrel 1.0.0.1 (64-bit)", with " [X5]" in X5 mode; the bitness is that of
// this build.
QString MainWindowTitle(bool X5Mode);
// X5 mode: a file "X5.ini" lies in the folder.
bool X5FilePresent(const QString& ProgramDir);
