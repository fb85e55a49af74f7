// The page order, the page graph and the work-type choices as data.

#include "kestrel/framework/PageGraph.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <fstream>
#include <set>

#include "kestrel/framework/Controller.h"
#include "tests/support/TempDir.h"

namespace {

TEST(PageGraphTest, EveryArrowJoinsRegisteredPageClasses) {
  std::set<std::string> Classes;
  for (const TPageInfo& Info : PageOrder()) Classes.insert(Info.ClassName);
  EXPECT_EQ(Classes.size(), PageOrder().size());  // one instance of each class
  std::set<std::string> WithArrows;
  for (const TPageEdge& E : PageGraph()) {
    EXPECT_TRUE(Classes.count(E.Page)) << E.Page;
    if (*E.Next) {
      EXPECT_TRUE(Classes.count(E.Next)) << E.Next;
    }
    WithArrows.insert(E.Page);
  }
  // Every page has its arrows.
  for (const std::string& Class : Classes) EXPECT_TRUE(WithArrows.count(Class)) << Class;
}

TEST(PageGraphTest, FixedOrderStartsAndEndsAsRegistered) {
  EXPECT_STREQ(PageOrder().front().ClassName, "TfmConnectDevice");
  EXPECT_STREQ(PageOrder()[2].ClassName, "TfmSelectWorkType");
  EXPECT_STREQ(PageOrder()[20].ClassName, "TfmCheckEthernet");
  EXPECT_STREQ(PageOrder().back().ClassName, "TFmCheckStatusBeforeReRegistration");
  EXPECT_EQ(PageCaption(QStringLiteral("TfmCheckRNDIS")),
            QStringLiteral("Проверка связи по RNDIS"));
  EXPECT_EQ(PageCaption(QStringLiteral("TUnknown")), QString());
}

// The job sequences follow the unconditional and chosen arrows.
QStringList Walk(const char* From, const std::set<std::string>& Conditions, int Steps) {
  QStringList Path = {QString::fromLatin1(From)};
  std::string Cur = From;
  for (int I = 0; I < Steps; ++I) {
    const char* Next = nullptr;
    for (const TPageEdge& E : PageGraph())
      if (Cur == E.Page && (!*E.Condition || Conditions.count(E.Condition))) Next = E.Next;
    if (!Next || !*Next) break;
    Cur = Next;
    Path << QString::fromLatin1(Next);
  }
  return Path;
}

TEST(PageGraphTest, JobSequences) {
  EXPECT_EQ(
      Walk("TFmCheckStatusBeforeRegistration", {"!X5Mode", "!IsOFDSettingMode", "registered"}, 11)
          .join(' ')
          .toStdString(),
      "TFmCheckStatusBeforeRegistration TfmEnterSerial TfmSelectClientType TfmFFD TfmOFDParams "
      "TfmUserParams TfmINN TfmWorkMode TfmFiscalizationBefore TfmFiscalizationInfo "
      "TfmFinalMessage TfmConnectDevice");
  EXPECT_EQ(Walk("TfmOFDParams", {"IsOFDSettingMode", "Ethernet"}, 5).join(' ').toStdString(),
            "TfmOFDParams TfmSelectNetType TfmEthernetParams TfmCheckEthernet TfmOFDExchangeState "
            "TfmFinalMessage");
  EXPECT_EQ(Walk("TFmCheckStatusBeforeCloseFN", {}, 3).join(' ').toStdString(),
            "TFmCheckStatusBeforeCloseFN TfmBeforeCloseFN TfmCloseFN TfmSelectWorkType");
  EXPECT_EQ(Walk("TfmWiFiParams", {}, 3).join(' ').toStdString(), "TfmWiFiParams");
}

TEST(WorkTypeTest, SixthItemOnlyWithOFDTable) {
  EXPECT_EQ(WorkTypeItems(false).size(), 5);
  ASSERT_EQ(WorkTypeItems(true).size(), 6);
  EXPECT_EQ(WorkTypeItems(true).last(), QStringLiteral("Настройка связи с ОФД"));
}

TEST(WorkTypeTest, ChoicesSetTheJobAndTheNextPage) {
  struct TCase {
    int Item;
    bool X5;
    const char* Next;
    bool FirstTime, NewFN, OFDMode;
  };
  const TCase Cases[] = {
      {0, false, "TFmCheckStatusBeforeRegistration", true, false, false},
      {1, false, "TFmCheckStatusBeforeReRegistration", false, false, false},
      {2, false, "TFmCheckStatusBeforeReRegistration", false, true, false},
      {1, true, "TfmKKTParamsX5", false, false, false},
      {2, true, "TfmKKTParamsX5", false, true, false},
      {3, false, "TfmCalculationStateReport", false, false, false},
      {4, false, "TFmCheckStatusBeforeCloseFN", false, false, false},
      {5, false, "TfmOFDParams", false, false, true},
  };
  for (const TCase& C : Cases) {
    TController Ctl;
    Ctl.X5Mode = C.X5;
    Ctl.IsOFDSettingMode = true;
    EXPECT_TRUE(ApplyWorkType(Ctl, C.Item));
    EXPECT_EQ(Ctl.NextPageClass, QLatin1String(C.Next)) << C.Item;
    EXPECT_EQ(Ctl.RegParams.FirstTime, C.FirstTime) << C.Item;
    EXPECT_EQ(Ctl.RegParams.NewFN, C.NewFN) << C.Item;
    EXPECT_EQ(Ctl.IsOFDSettingMode, C.OFDMode) << C.Item;
  }
}

TEST(ControllerTest, ClearRegParamsLeavesTheJobAndDocumentFields) {
  TController C;
  C.RegParams.INN = QStringLiteral("7700000000");
  C.RegParams.OFDServer = QStringLiteral("ofd.example");
  C.RegParams.TaxSystem = 1;
  C.RegParams.FFD = 2;
  C.RegParams.OFDPort = 7777;
  C.RegParams.FirstTime = true;
  C.RegParams.PortKM = 2222;
  C.RegParams.DocNumber = 5;
  C.ClearRegParams();
  EXPECT_TRUE(C.RegParams.INN.isEmpty());
  EXPECT_TRUE(C.RegParams.OFDServer.isEmpty());
  EXPECT_EQ(C.RegParams.TaxSystem, kUnset);
  EXPECT_EQ(C.RegParams.FFD, kUnset);
  EXPECT_EQ(C.RegParams.ReasonCode, kUnset);
  EXPECT_EQ(C.RegParams.OFDPort, 0);
  EXPECT_TRUE(C.RegParams.FirstTime);
  EXPECT_EQ(C.RegParams.PortKM, 2222);
  EXPECT_EQ(C.RegParams.DocNumber, 5);
}

TEST(TitleTest, BitnessOfThisBuildAndX5Mark) {
  const QString Bits = QString::number(sizeof(void*) * 8) + QStringLiteral("-bit)");
  EXPECT_TRUE(MainWindowTitle(false).startsWith(QStringLiteral("Kestrel ")));
  EXPECT_TRUE(MainWindowTitle(false).endsWith(Bits));
  EXPECT_TRUE(MainWindowTitle(true).endsWith(Bits + QStringLiteral(" [X5]")));
  TempDir Dir;
  const QString Folder = QString::fromStdString(Dir.path().string());
  EXPECT_FALSE(X5FilePresent(Folder));
  std::ofstream(Dir.path() / "X5.ini") << "";
  EXPECT_TRUE(X5FilePresent(Folder));
}

}  // namespace
