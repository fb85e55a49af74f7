#include "tesselbench/pages/fmuConnection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "common/text/Intl.h"
#include "driver/ByName.h"
#include "tesselbench/pages/Lists.h"
#include "tesselbench/shell/Driver.h"

namespace {

constexpr int kTcpSocketCode = 128;

// The connection's own TCP port ("TCP порт:") connects; the device's one-byte
// code ("TCP порт (код):") only goes into its exchange parameters, since the
// code cannot stand for most ports (7778 would become 4146).
std::vector<TStep> ExchangeInputs() {
  return {Set(DRIVER_NAME("Timeout"), "edtTimeout", TConv::Int),
          Set(DRIVER_NAME("BaudRate"), "cbBaudRate", TConv::Index),
          Set(DRIVER_NAME("TCPPort"), "edtTCPPortCode", TConv::TcpPortOfCode),
          Set(DRIVER_NAME("PortNumber"), "cbInterface", TConv::Code)};
}

TButtonSpec WaitButton(const char* Name, const char* Caption, const char* Method) {
  return {Name, Caption, {Set(DRIVER_NAME("ConnectionTimeout"), "edtConnectionTimeout", TConv::Int), Call(Method)},
          {}, {}, true};
}

TPageSpec ConnectionSpec() {
  TPageSpec Spec;
  Spec.ObjectName = QStringLiteral("fmConnection");
  Spec.Caption = N_("Связь");
  Spec.Controls = {
      {"cbPort", N_("Порт:"), TControlKind::Combo, 0, 0, 0, ComPortItems(), {}, true, false},
      {"cbBaudRate", N_("Скорость:"), TControlKind::Combo, 0, 0, 0, BaudRateItems(), {}, true,
       false},
      {"edtTimeout", N_("Таймаут:"), TControlKind::Spin, 100, 0, 2147483647},
      {"cbInterface", N_("Интерфейс:"), TControlKind::Combo, 0, 0, 0,
       {N_("RS-232"), N_("Bluetooth"), N_("USB"), N_("WiFi"), N_("TCP socket")},
       {0, 1, 2, 3, kTcpSocketCode}},
      {"edtTCPPortCode", N_("TCP порт (код):"), TControlKind::Spin, 0, 0, 255},
      {"edtTCPPort", N_("TCP порт:"), TControlKind::Spin, 7778, 0, 65535},
      {"edtConnectionTimeout", N_("Таймаут ожидания:"), TControlKind::Spin, 1000, 0, 2147483647},
      {"chbConnected", N_("Устройство подключено"), TControlKind::Check, false, 0, 0, {}, {},
       false},
  };
  std::vector<TStep> Connect = {Set(DRIVER_NAME("ComNumber"), "cbPort", TConv::IndexPlus1),
                                Set(DRIVER_NAME("BaudRate"), "cbBaudRate", TConv::Index),
                                Set(DRIVER_NAME("Timeout"), "edtTimeout", TConv::Int),
                                Set(DRIVER_NAME("TCPPort"), "edtTCPPort", TConv::Int),
                                Call(DRIVER_NAME("Connect"))};
  std::vector<TStep> SetParams = ExchangeInputs();
  SetParams.push_back(Call(DRIVER_NAME("SetExchangeParam")));
  Spec.Buttons = {
      {"btnConnect", N_("Установить связь"), Connect, {}, {}, true},
      {"btnDisconnect", N_("Разорвать связь"), {Call(DRIVER_NAME("Disconnect"))}, {}, {}, true},
      {"btnGetExchangeParam",
       N_("Получить параметры"),
       {Set(DRIVER_NAME("PortNumber"), "cbInterface", TConv::Code),
        Call(DRIVER_NAME("GetExchangeParam"))},
       {{"edtTimeout", DRIVER_NAME("Timeout"), TConv::Int},
        {"cbBaudRate", DRIVER_NAME("BaudRate"), TConv::Index},
        {"edtTCPPortCode", DRIVER_NAME("TCPPort"), TConv::TcpPortOfCode}},
       {},
       true},
      {"btnSetExchangeParam", N_("Установить параметры"), SetParams, {}, {}, true},
      {"chbConnected",
       N_("Устройство подключено"),
       {Set(DRIVER_NAME("Connected"), "chbConnected", TConv::Bool)},
       {},
       {},
       true,
       nullptr,
       true},
      WaitButton("btnWaitConnection", N_("Ожидать подключения"), DRIVER_NAME("WaitConnection")),
      WaitButton("btnWaitForPrinting", N_("Ожидать завершения печати"),
                 DRIVER_NAME("WaitForPrinting")),
      WaitButton("btnWaitForCheckClose", N_("Ожидать закрытия чека"),
                 DRIVER_NAME("WaitForCheckClose")),
  };
  Spec.OnShow = {{"edtTimeout", DRIVER_NAME("Timeout"), TConv::Int},
                 {"cbBaudRate", DRIVER_NAME("BaudRate"), TConv::Index},
                 {"cbPort", DRIVER_NAME("ComNumber"), TConv::IndexPlus1},
                 {"edtTCPPort", DRIVER_NAME("TCPPort"), TConv::Int},
                 {"edtTCPPortCode", DRIVER_NAME("TCPPort"), TConv::TcpPortOfCode},
                 {"edtConnectionTimeout", DRIVER_NAME("ConnectionTimeout"), TConv::Int}};
  Spec.OnUpdatePage = [](TEnginePage& Page) {
    if (!DriverExists()) return;
    qobject_cast<QCheckBox*>(Page.Control("chbConnected"))->setChecked(Driver()->Connected());
  };
  return Spec;
}

}  // namespace

TfmConnection::TfmConnection(QWidget* Parent) : TEnginePage(ConnectionSpec(), Parent) {
  // The TCP fields follow the interface however it changes (the user, loading).
  connect(qobject_cast<QComboBox*>(Control("cbInterface")), &QComboBox::currentIndexChanged, this,
          &TfmConnection::UpdateTcpFields);
  UpdateTcpFields();
}

// The code belongs to the device's interface and is usable only for a TCP
// socket; "TCP порт:" is the port this connection uses and stays usable.
void TfmConnection::UpdateTcpFields() {
  const bool Tcp = Code("cbInterface") == kTcpSocketCode;
  Control(QStringLiteral("edtTCPPortCode"))->setEnabled(Tcp);
  Label(QStringLiteral("edtTCPPortCode"))->setEnabled(Tcp);
}
