#pragma once
// Halden's main window: the settings page, the served ports with their lock
// state and an unlock button, and the connected clients; the tray icon with
// its menu where the desktop has a tray.
//
// The window is a view over the port registry and the client list: they
// report their changes, which are posted to the window and shown after the
// call that made them has returned.

#include <QWidget>

#include <memory>
#include <string>

#include "halden/main/MainView.h"
#include "halden/server/Clients.h"
#include "halden/server/PrinterPorts.h"
#include "halden/server/Settings.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class IDialogs;

class TfmMain : public QWidget {
  Q_OBJECT

 public:
  TfmMain(IDialogs& Dialogs, ITCPListener& Listener, const TSettingsStore& Store,
          const TWindowBehaviour& Behaviour, QWidget* Parent = nullptr);
  ~TfmMain() override;

  // The rest of the start: shows the start settings and the lists, arms the
  // port timers, subscribes to the changes and applies the settings (which
  // starts the TCP dispatcher and saves them). Problems of the start
  // settings are shown on the settings page.
  TApplyResult Start(const TStartSettings& Settings);

  // Applies the page's values; shows what went wrong. False when the values
  // were refused (nothing changed).
  bool Apply();
  // "&Свойства": reloads the controls from the settings and shows the window.
  void ShowProperties();
  // Shows the window in front.
  void ShowInFront();
  // The about box ("О программе...").
  void ShowAbout();

  const TSettingsApplier& Settings() const { return FApplier; }
  const TWindowBehaviour& Behaviour() const { return FBehaviour; }

  // The controls, for the tests that drive the window.
  QTabWidget* pcMain;
  QLabel* lblSettingsProblem;
  QSpinBox* seTimeout;
  QCheckBox* chbAutoRecCancel;
  QCheckBox* chbAutoPortClose;
  QGroupBox* gbConnection;
  QCheckBox* chbTCPEnabled;
  QLabel* lblTCPPort;
  QLineEdit* edtTCPPort;
  QTreeWidget* lvPorts;
  QPushButton* btnUnlock;
  QTreeWidget* lvClients;
  QLineEdit* edtClientCount;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnApply;
  QSystemTrayIcon* TrayIcon = nullptr;  // none without a tray
  QMenu* TrayMenu = nullptr;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;

 private:
  void CreateControls();
  void CreateTray();
  void ShowSettings(const THaldenSettings& Value);
  TSettingsForm Form() const;
  void UpdateControlStates();
  void Modified();
  void ShowApplyResult(const TApplyResult& Result);

  void FillPorts();
  void FillClients();
  void PortChanged(int ID, TChangeType ChangeType);
  void ClientChanged(int ID, TChangeType ChangeType);
  void AddPortRow(const TPrinterPort& Port);
  void UpdatePortRow(QTreeWidgetItem* Item, const TPrinterPort& Port);
  void AddClientRow(int Position, const THalden& Client);
  QTreeWidgetItem* RowOf(QTreeWidget* List, int ID) const;
  void UpdateUnlockButton();
  void UnlockSelectedPort();
  void UpdateClientCount();

  void OkClicked();
  void CancelClicked();
  // Whether the program may end now; asks while server objects are alive.
  bool MayClose();

  IDialogs& FDialogs;
  const TWindowBehaviour FBehaviour;
  TPrinterPortsLink FPorts;
  TClientsLink FClients;
  TSettingsApplier FApplier;
  bool FLoading = false;  // controls are being filled: no "modified"
  bool FClosing = false;  // the window is closing: the program ends
};
