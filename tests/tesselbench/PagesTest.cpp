// The connection, logical-device and cash-drawer pages on the recording
// driver: the exact properties and method of each button.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BenchFixture.h"
#include "tesselbench/pages/fmuCashDrawer.h"
#include "tesselbench/pages/fmuConnection.h"
#include "tesselbench/pages/fmuLogicDevice.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/Persistence.h"

using ::testing::ElementsAre;

namespace {

class Pages : public TBenchTest {
 protected:
  static void Select(TEnginePage& P, const char* Combo, int Index) {
    qobject_cast<QComboBox*>(P.Control(QString::fromLatin1(Combo)))->setCurrentIndex(Index);
  }
  std::string Only() {
    const auto T = Recorder().Transcript();
    EXPECT_EQ(T.size(), 1u);
    return T.empty() ? std::string() : T.back();
  }
};

}  // namespace

TEST_F(Pages, ConnectUsesTheTcpPortFieldNotTheCode) {
  TfmConnection P;
  Select(P, "cbPort", 2);
  Select(P, "cbBaudRate", 6);
  P.SetText(QStringLiteral("edtTimeout"), QStringLiteral("150"));
  P.SetText(QStringLiteral("edtTCPPort"), QStringLiteral("7778"));
  P.SetText(QStringLiteral("edtTCPPortCode"), QStringLiteral("18"));
  Recorder().Preset(TPropertyId::Connected, true);
  P.Press(QStringLiteral("btnConnect"));
  EXPECT_EQ(Only(), "Connect(ComNumber=3, BaudRate=6, Timeout=150, TCPPort=7778)");
  EXPECT_TRUE(P.Checked(QStringLiteral("chbConnected")));  // UpdatePage afterwards
}

TEST_F(Pages, ExchangeParametersUseTheDevicesCode) {
  TfmConnection P;
  Select(P, "cbInterface", 4);  // TCP socket, code 128
  Select(P, "cbBaudRate", 3);
  P.SetText(QStringLiteral("edtTimeout"), QStringLiteral("50"));
  P.SetText(QStringLiteral("edtTCPPortCode"), QStringLiteral("18"));
  EXPECT_TRUE(P.Control(QStringLiteral("edtTCPPortCode"))->isEnabled());
  P.Press(QStringLiteral("btnSetExchangeParam"));
  EXPECT_EQ(Only(),
            "SetExchangeParam(Timeout=50, BaudRate=3, TCPPort=4146, PortNumber=128)");
}

TEST_F(Pages, GetExchangeParamCopiesBackOnlyOnSuccess) {
  TfmConnection P;
  Select(P, "cbInterface", 2);  // USB
  P.SetText(QStringLiteral("edtTimeout"), QStringLiteral("77"));
  Recorder().Script(TMethodId::GetExchangeParam, 5);
  Recorder().Script(TMethodId::GetExchangeParam,
                    {0,
                     {{TPropertyId::Timeout, 300},
                      {TPropertyId::BaudRate, 5},
                      {TPropertyId::TCPPort, 7778}}});
  P.Press(QStringLiteral("btnGetExchangeParam"));
  EXPECT_EQ(P.IntValue(QStringLiteral("edtTimeout")), 77);  // failure leaves the fields
  P.Press(QStringLiteral("btnGetExchangeParam"));
  EXPECT_THAT(Recorder().Transcript(), ElementsAre("GetExchangeParam(PortNumber=2)",
                                                   "GetExchangeParam(PortNumber=2)"));
  EXPECT_EQ(P.IntValue(QStringLiteral("edtTimeout")), 300);
  EXPECT_EQ(P.Index(QStringLiteral("cbBaudRate")), 5);
  EXPECT_EQ(P.IntValue(QStringLiteral("edtTCPPortCode")), 0x12);
}

TEST_F(Pages, WaitButtonsAndTheConnectedBox) {
  TfmConnection P;
  P.SetText(QStringLiteral("edtConnectionTimeout"), QStringLiteral("2500"));
  P.Press(QStringLiteral("btnWaitConnection"));
  P.Press(QStringLiteral("btnWaitForPrinting"));
  P.Press(QStringLiteral("btnWaitForCheckClose"));
  P.Press(QStringLiteral("btnDisconnect"));
  EXPECT_THAT(Recorder().Transcript(),
              ElementsAre("WaitConnection(ConnectionTimeout=2500)",
                          "WaitForPrinting(ConnectionTimeout=2500)",
                          "WaitForCheckClose(ConnectionTimeout=2500)", "Disconnect()"));
  P.Press(QStringLiteral("chbConnected"));  // a user click
  EXPECT_EQ(Recorder().PendingSettings().size(), 1u);
  EXPECT_EQ(Driver()->Connected(), true);
}

TEST_F(Pages, LoadingNeverReplaysADeviceAction) {
  {
    TfmConnection P;
    qobject_cast<QCheckBox*>(P.Control(QStringLiteral("chbConnected")))->setChecked(true);
    QSettings S(FTemp.path().c_str() + QStringLiteral("/p.ini"), QSettings::IniFormat);
    SaveControls(&P, S);
    EXPECT_FALSE(S.contains(QStringLiteral("fmConnection.chbConnected")));
    EXPECT_TRUE(S.contains(QStringLiteral("fmConnection.edtTimeout")));
  }
  TfmConnection P;
  QSettings S(FTemp.path().c_str() + QStringLiteral("/p.ini"), QSettings::IniFormat);
  S.setValue(QStringLiteral("fmConnection.chbConnected"), true);
  S.setValue(QStringLiteral("fmConnection.cbInterface"), 4);
  LoadControls(&P, S);
  EXPECT_FALSE(P.Checked(QStringLiteral("chbConnected")));
  EXPECT_TRUE(P.Control(QStringLiteral("edtTCPPortCode"))->isEnabled());
  EXPECT_TRUE(Recorder().Calls().empty());
  EXPECT_TRUE(Recorder().PendingSettings().empty());
}

TEST_F(Pages, LogicDeviceButtons) {
  TfmLogicDevice P;
  P.SetText(QStringLiteral("edtLDName"), QString::fromUtf8("Касса"));
  P.SetText(QStringLiteral("edtLDNumber"), QStringLiteral("2"));
  P.SetText(QStringLiteral("edtLDIndex"), QStringLiteral("1"));
  Select(P, "cbLDComNumber", 0);
  Select(P, "cbLDBaudrate", 6);
  P.SetText(QStringLiteral("edtLDComputerName"), QStringLiteral("host"));
  P.SetText(QStringLiteral("edtLDTimeout"), QStringLiteral("150"));
  // The device keeps what was set: the read-back after each call finds it.
  Recorder().Preset(TPropertyId::LDName, QString::fromUtf8("Касса"));
  Recorder().Preset(TPropertyId::LDNumber, 2);
  Recorder().Preset(TPropertyId::LDIndex, 1);
  Recorder().Preset(TPropertyId::LDComNumber, 1);
  Recorder().Preset(TPropertyId::LDBaudrate, 6);
  Recorder().Preset(TPropertyId::LDComputerName, QStringLiteral("host"));
  Recorder().Preset(TPropertyId::LDTimeout, 150);
  Recorder().Script(TMethodId::GetCountLD, {0, {{TPropertyId::LDCount, 4}}});
  for (const char* B : {"btnAddLD", "btnDeleteLD", "btnGetCountLD", "btnEnumLD", "btnSetParamLD",
                        "btnGetParamLD", "btnSetActiveLD", "btnGetActiveLD"}) {
    P.Press(QString::fromLatin1(B));
  }
  const char* Params =
      "LDName=\"Касса\", LDBaudrate=6, LDComNumber=1, LDComputerName=\"host\", LDTimeout=150";
  EXPECT_THAT(Recorder().Transcript(),
              ElementsAre(std::string("AddLD(") + Params + ")", "DeleteLD(LDNumber=2)",
                          "GetCountLD()", "EnumLD(LDIndex=1)",
                          std::string("SetParamLD(LDNumber=2, ") + Params + ")",
                          "GetParamLD(LDNumber=2)", "SetActiveLD(LDNumber=2)", "GetActiveLD()"));
  EXPECT_EQ(P.Text(QStringLiteral("edtLDCount")), QStringLiteral("4"));
  Recorder().Script(TMethodId::GetParamLD, {1, {{TPropertyId::LDTimeout, 999}}});
  P.Press(QStringLiteral("btnGetParamLD"));
  EXPECT_EQ(P.IntValue(QStringLiteral("edtLDTimeout")), 150);  // no read-back after a failure
  Recorder().Preset(TPropertyId::LDNumber, 7);
  P.Press(QStringLiteral("btnGetActiveLD"));
  EXPECT_EQ(P.IntValue(QStringLiteral("edtLDNumber")), 7);
}

TEST_F(Pages, ComputerNameIsTypedThroughTheDialog) {
  TfmLogicDevice P;
  FDialogs.InputValue = QStringLiteral("kassa-2");
  P.Press(QStringLiteral("btnLDComputerName"));
  EXPECT_THAT(FDialogs.Prompts, ElementsAre(QString::fromUtf8("Укажите имя компьютера")));
  EXPECT_EQ(P.Text(QStringLiteral("edtLDComputerName")), QStringLiteral("kassa-2"));
  FDialogs.InputAnswer = false;
  FDialogs.InputValue = QStringLiteral("other");
  P.Press(QStringLiteral("btnLDComputerName"));
  EXPECT_EQ(P.Text(QStringLiteral("edtLDComputerName")), QStringLiteral("kassa-2"));
  EXPECT_TRUE(Recorder().Calls().empty());
}

TEST_F(Pages, CashDrawer) {
  TfmCashDrawer P;
  EXPECT_EQ(P.IntValue(QStringLiteral("edtDrawerNumber")), 0);
  P.SetText(QStringLiteral("edtDrawerNumber"), QStringLiteral("1"));
  P.Press(QStringLiteral("btnOpenDrawer"));
  EXPECT_EQ(Only(), "OpenDrawer(DrawerNumber=1)");
}
