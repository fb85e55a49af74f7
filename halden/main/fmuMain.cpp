#include "halden/main/fmuMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "halden/main/Dialogs.h"
#include "halden/main/fmuAbout.h"
#include "halden/server/Halden.h"

namespace {

constexpr const char* AppTitle = "Halden";
constexpr int IDRole = Qt::UserRole;

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}
QString Q(const char* Text) {
  return QString::fromUtf8(Text);
}

QTreeWidget* MakeList(const QStringList& Columns) {
  auto* list = new QTreeWidget;
  list->setColumnCount(Columns.size());
  list->setHeaderLabels(Columns);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setAllColumnsShowFocus(true);
  list->header()->setStretchLastSection(true);
  return list;
}

void SetRowTexts(QTreeWidgetItem* Item, const std::vector<std::string>& Texts) {
  for (std::size_t i = 0; i < Texts.size(); ++i) Item->setText(static_cast<int>(i), Q(Texts[i]));
}

}  // namespace

TfmMain::TfmMain(IDialogs& Dialogs, ITCPListener& Listener, const TSettingsStore& Store,
                 const TWindowBehaviour& Behaviour, QWidget* Parent)
    : QWidget(Parent),
      FDialogs(Dialogs),
      FBehaviour(Behaviour),
      FApplier(Store, Listener, [this](const THaldenSettings& S) {
        FPorts->ApplySettings({S.AutoPortClose, S.AutoRecCancel, S.CloseTimeout});
      }) {
  setWindowTitle(Q(MainCaption()));
  setWindowIcon(HaldenIcon());
  CreateControls();
}

TfmMain::~TfmMain() {
  FPorts->SetOnChange(nullptr);
  FClients->SetOnChange(nullptr);
  if (TrayIcon) TrayIcon->hide();
}

void TfmMain::CreateControls() {
  pcMain = new QTabWidget;

  // "Параметры"
  auto* tsParams = new QWidget;
  lblSettingsProblem = new QLabel;
  lblSettingsProblem->setWordWrap(true);
  lblSettingsProblem->setStyleSheet("QLabel { color: #b00000; }");
  lblSettingsProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblSettingsProblem->hide();

  auto* lblTimeout = new QLabel(Q(_("Таймаут блокировки COM порта, c:")));
  seTimeout = new QSpinBox;
  seTimeout->setRange(0, MaxCloseTimeoutSeconds);
  seTimeout->setAccelerated(true);
  lblTimeout->setBuddy(seTimeout);
  auto* timeoutRow = new QHBoxLayout;
  timeoutRow->addWidget(lblTimeout);
  timeoutRow->addWidget(seTimeout);
  timeoutRow->addStretch();

  chbAutoPortClose = new QCheckBox(Q(_("Разблокировать порт при таймауте")));
  chbAutoRecCancel = new QCheckBox(Q(_("Отменить чек при таймауте")));

  gbConnection = new QGroupBox(Q(_("Подключение")));
  chbTCPEnabled = new QCheckBox(Q(_("Использовать TCP")));
  lblTCPPort = new QLabel(Q(_("Порт TCP:")));
  edtTCPPort = new QLineEdit;
  edtTCPPort->setMaxLength(5);
  edtTCPPort->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), edtTCPPort));
  edtTCPPort->setMaximumWidth(edtTCPPort->fontMetrics().horizontalAdvance("0000000") + 16);
  lblTCPPort->setBuddy(edtTCPPort);
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(lblTCPPort);
  portRow->addWidget(edtTCPPort);
  portRow->addStretch();
  auto* connection = new QVBoxLayout(gbConnection);
  connection->addWidget(chbTCPEnabled);
  connection->addLayout(portRow);

  auto* params = new QVBoxLayout(tsParams);
  params->addWidget(lblSettingsProblem);
  params->addLayout(timeoutRow);
  params->addWidget(chbAutoPortClose);
  // The cancel box belongs to the unlock box: it works only with it.
  auto* cancelRow = new QHBoxLayout;
  cancelRow->addSpacing(20);
  cancelRow->addWidget(chbAutoRecCancel);
  params->addLayout(cancelRow);
  params->addWidget(gbConnection);
  params->addStretch();

  // "Порты"
  auto* tsPorts = new QWidget;
  lvPorts = MakeList(
      {Q(_("Порт")), Q(_("Состояние")), Q(_("Компьютер")), Q(_("PID")), Q(_("Приложение"))});
  btnUnlock = new QPushButton(Q(_("Разблокировать порт")));
  btnUnlock->setEnabled(false);
  auto* unlockRow = new QHBoxLayout;
  unlockRow->addStretch();
  unlockRow->addWidget(btnUnlock);
  auto* ports = new QVBoxLayout(tsPorts);
  ports->addWidget(lvPorts);
  ports->addLayout(unlockRow);

  // "Клиенты"
  auto* tsClients = new QWidget;
  lvClients = MakeList({Q(_("№")), Q(_("Компьютер")), Q(_("PID")), Q(_("Приложение"))});
  auto* lblCount = new QLabel(Q(_("Количество клиентов:")));
  edtClientCount = new QLineEdit("0");
  edtClientCount->setReadOnly(true);
  edtClientCount->setMaximumWidth(edtClientCount->fontMetrics().horizontalAdvance("0000000") + 16);
  lblCount->setBuddy(edtClientCount);
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(lblCount);
  countRow->addWidget(edtClientCount);
  countRow->addStretch();
  auto* clients = new QVBoxLayout(tsClients);
  clients->addWidget(lvClients);
  clients->addLayout(countRow);

  pcMain->addTab(tsParams, Q(_("Параметры")));
  pcMain->addTab(tsPorts, Q(_("Порты")));
  pcMain->addTab(tsClients, Q(_("Клиенты")));

  btnOK = new QPushButton(Q(_("OK")));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(Q(_("Отмена")));
  btnApply = new QPushButton(Q(_("Применить")));
  btnApply->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnApply);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pcMain);
  layout->addLayout(buttons);

  lvPorts->setColumnWidth(0, 80);
  lvPorts->setColumnWidth(1, 90);
  lvPorts->setColumnWidth(2, 120);
  lvPorts->setColumnWidth(3, 70);
  lvClients->setColumnWidth(0, 40);
  lvClients->setColumnWidth(1, 140);
  lvClients->setColumnWidth(2, 70);
  resize(520, 400);

  connect(seTimeout, &QSpinBox::valueChanged, this, &TfmMain::Modified);
  for (QCheckBox* box : {chbAutoPortClose, chbAutoRecCancel, chbTCPEnabled})
    connect(box, &QCheckBox::toggled, this, &TfmMain::Modified);
  connect(edtTCPPort, &QLineEdit::textEdited, this, &TfmMain::Modified);
  connect(lvPorts, &QTreeWidget::itemSelectionChanged, this, &TfmMain::UpdateUnlockButton);
  connect(btnUnlock, &QPushButton::clicked, this, &TfmMain::UnlockSelectedPort);
  connect(btnOK, &QPushButton::clicked, this, &TfmMain::OkClicked);
  connect(btnCancel, &QPushButton::clicked, this, &TfmMain::CancelClicked);
  connect(btnApply, &QPushButton::clicked, this, &TfmMain::Apply);
}

void TfmMain::CreateTray() {
  TrayMenu = new QMenu(this);
  QAction* actClose = TrayMenu->addAction(Q(_("&Закрыть")));
  QAction* actProperties = TrayMenu->addAction(Q(_("&Свойства")));
  QAction* actAbout = TrayMenu->addAction(Q(_("О программе...")));
  TrayMenu->setDefaultAction(actProperties);
  connect(actClose, &QAction::triggered, this, &QWidget::close);
  connect(actProperties, &QAction::triggered, this, &TfmMain::ShowProperties);
  connect(actAbout, &QAction::triggered, this, &TfmMain::ShowAbout);

  TrayIcon = new QSystemTrayIcon(HaldenIcon(), this);
  TrayIcon->setToolTip(AppTitle);
  TrayIcon->setContextMenu(TrayMenu);
  connect(TrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason Reason) {
            if (Reason == QSystemTrayIcon::Trigger || Reason == QSystemTrayIcon::DoubleClick)
              ShowInFront();
          });
  TrayIcon->show();
}

TApplyResult TfmMain::Start(const TStartSettings& Start) {
  FApplier.SetSettings(Start.Settings, Start.KeepFile);
  ShowSettings(Start.Settings);
  FillPorts();
  FillClients();
  FPorts->ApplySettings(
      {Start.Settings.AutoPortClose, Start.Settings.AutoRecCancel, Start.Settings.CloseTimeout});
  if (FBehaviour.Tray) CreateTray();

  // The changes arrive on the thread that made them and are shown once the
  // main thread is back in its loop.
  FPorts->SetOnChange([this](TPrinterPort* Sender, TChangeType ChangeType) {
    const int id = Sender->ID();
    QMetaObject::invokeMethod(
        this, [this, id, ChangeType] { PortChanged(id, ChangeType); }, Qt::QueuedConnection);
  });
  FClients->SetOnChange([this](THalden* Sender, TChangeType ChangeType) {
    const int id = Sender->ID();
    QMetaObject::invokeMethod(
        this, [this, id, ChangeType] { ClientChanged(id, ChangeType); }, Qt::QueuedConnection);
  });

  const TApplyResult result = FApplier.Apply(Start.Settings);
  ShowApplyResult(result);
  // What was wrong with the switches or the file stays in view until the
  // user applies settings of their own.
  if (!Start.Problems.empty()) {
    QStringList lines;
    for (const std::string& problem : Start.Problems) lines << Q(problem);
    lblSettingsProblem->setText(lines.join("\n"));
    lblSettingsProblem->show();
  }
  if (FBehaviour.ShowAtStart) ShowInFront();
  return result;
}

void TfmMain::ShowSettings(const THaldenSettings& Value) {
  const TSettingsForm form = FormOf(Value);
  FLoading = true;
  seTimeout->setValue(form.CloseTimeoutSeconds);
  chbAutoPortClose->setChecked(form.AutoPortClose);
  chbAutoRecCancel->setChecked(form.AutoRecCancel);
  chbTCPEnabled->setChecked(form.TCPEnabled);
  edtTCPPort->setText(Q(form.TCPPort));
  FLoading = false;
  UpdateControlStates();
  btnApply->setEnabled(false);
}

TSettingsForm TfmMain::Form() const {
  TSettingsForm form;
  form.TCPPort = edtTCPPort->text().toStdString();
  form.TCPEnabled = chbTCPEnabled->isChecked();
  form.CloseTimeoutSeconds = seTimeout->value();
  form.AutoPortClose = chbAutoPortClose->isChecked();
  form.AutoRecCancel = chbAutoRecCancel->isChecked();
  return form;
}

void TfmMain::UpdateControlStates() {
  chbAutoRecCancel->setEnabled(chbAutoPortClose->isChecked());
  const bool tcp = chbTCPEnabled->isChecked();
  lblTCPPort->setEnabled(tcp);
  edtTCPPort->setEnabled(tcp);
}

void TfmMain::Modified() {
  UpdateControlStates();
  if (!FLoading) btnApply->setEnabled(true);
}

bool TfmMain::Apply() {
  // A number typed into the up-down control counts as if Enter had been pressed.
  seTimeout->interpretText();
  const TApplyResult result = FApplier.Apply(Form());
  ShowApplyResult(result);
  if (result.Status == TApplyResult::Invalid) {
    pcMain->setCurrentIndex(0);
    edtTCPPort->setFocus();
    return false;
  }
  return true;
}

void TfmMain::ShowApplyResult(const TApplyResult& Result) {
  switch (Result.Status) {
    case TApplyResult::Applied:
      btnApply->setEnabled(false);
      lblSettingsProblem->hide();
      break;
    case TApplyResult::Refused:
      ShowSettings(FApplier.Settings());
      break;
    case TApplyResult::Invalid:
      break;
  }
  if (Result.TCPFailed) {
    FLoading = true;
    chbTCPEnabled->setChecked(false);
    FLoading = false;
    UpdateControlStates();
  }
  if (!Result.Error.empty()) FDialogs.ShowError(AppTitle, Result.Error);
}

void TfmMain::ShowProperties() {
  ShowSettings(FApplier.Settings());
  ShowInFront();
}

void TfmMain::ShowInFront() {
  if (FBehaviour.Headless) return;
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
}

void TfmMain::ShowAbout() {
  FDialogs.ShowAbout(AppTitle, VersionLine());
}

void TfmMain::OkClicked() {
  if (!Apply()) return;
  if (FBehaviour.HideOnOkCancel) hide();
}

void TfmMain::CancelClicked() {
  ShowSettings(FApplier.Settings());
  if (FBehaviour.HideOnOkCancel) hide();
}

bool TfmMain::MayClose() {
  if (THalden::ObjectCount() == 0) return true;
  return FDialogs.AskYesNo(
      AppTitle, _("К серверу подключены клиенты и они будут отключены.\nВы уверены ?"));
}

void TfmMain::closeEvent(QCloseEvent* Event) {
  if (!FClosing && !MayClose()) {
    Event->ignore();
    return;
  }
  FClosing = true;
  Event->accept();
  QCoreApplication::quit();
}

void TfmMain::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  if (Event->type() == QEvent::WindowStateChange && FBehaviour.HideOnMinimise && isMinimized()) {
    // Hidden into the tray once the minimise itself is done.
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) hide();
    });
  }
}

QTreeWidgetItem* TfmMain::RowOf(QTreeWidget* List, int ID) const {
  for (int i = 0; i < List->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = List->topLevelItem(i);
    if (item->data(0, IDRole).toInt() == ID) return item;
  }
  return nullptr;
}

void TfmMain::FillPorts() {
  lvPorts->clear();
  FPorts->Lock();
  for (int i = 0; i < FPorts->Count(); ++i)
    if (PPrinterPort port = FPorts->Items(i)) AddPortRow(*port);
  FPorts->Unlock();
  UpdateUnlockButton();
}

void TfmMain::AddPortRow(const TPrinterPort& Port) {
  auto* item = new QTreeWidgetItem;
  item->setData(0, IDRole, Port.ID());
  UpdatePortRow(item, Port);
  lvPorts->addTopLevelItem(item);
}

void TfmMain::UpdatePortRow(QTreeWidgetItem* Item, const TPrinterPort& Port) {
  SetRowTexts(Item, PortRowTexts(Port));
  Item->setData(1, IDRole, Port.Locked());
}

void TfmMain::PortChanged(int ID, TChangeType ChangeType) {
  QTreeWidgetItem* row = RowOf(lvPorts, ID);
  if (ChangeType == ctRemove) {
    delete row;
  } else {
    FPorts->Lock();
    if (PPrinterPort port = FPorts->ItemByID(ID)) {
      if (row) {
        UpdatePortRow(row, *port);
      } else if (ChangeType == ctInsert) {
        AddPortRow(*port);
      }
    }
    FPorts->Unlock();
  }
  UpdateUnlockButton();
}

void TfmMain::UpdateUnlockButton() {
  const QList<QTreeWidgetItem*> selected = lvPorts->selectedItems();
  btnUnlock->setEnabled(!selected.isEmpty() && selected.first()->data(1, IDRole).toBool());
}

void TfmMain::UnlockSelectedPort() {
  const QList<QTreeWidgetItem*> selected = lvPorts->selectedItems();
  if (selected.isEmpty()) return;
  FPorts->Lock();
  PPrinterPort port = FPorts->ItemByID(selected.first()->data(0, IDRole).toInt());
  FPorts->Unlock();
  // The administrator's unlock, whoever holds the port.
  if (port) port->UnlockPort(0);
}

void TfmMain::FillClients() {
  lvClients->clear();
  FClients->Lock();
  for (int i = 0; i < FClients->Count(); ++i) AddClientRow(i + 1, *FClients->Items(i));
  FClients->Unlock();
  UpdateClientCount();
}

void TfmMain::AddClientRow(int Position, const THalden& Client) {
  auto* item = new QTreeWidgetItem;
  item->setData(0, IDRole, Client.ID());
  SetRowTexts(item, ClientRowTexts(Position, Client));
  lvClients->addTopLevelItem(item);
}

void TfmMain::ClientChanged(int ID, TChangeType ChangeType) {
  QTreeWidgetItem* row = RowOf(lvClients, ID);
  if (ChangeType == ctRemove) {
    delete row;
  } else if (ChangeType == ctInsert && !row) {
    FClients->Lock();
    for (int i = 0; i < FClients->Count(); ++i) {
      THalden* client = FClients->Items(i);
      if (client->ID() == ID) {
        AddClientRow(i + 1, *client);
        break;
      }
    }
    FClients->Unlock();
  }
  UpdateClientCount();
}

void TfmMain::UpdateClientCount() {
  edtClientCount->setText(QString::number(lvClients->topLevelItemCount()));
}
