// The main window: page list, ShowPage, the button protocol and the result
// panel, persistence with its fall-backs, the password field, the caption.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BenchFixture.h"
#include "driver/ByName.h"
#include "tesselbench/pages/Registration.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/PageEngine.h"
#include "tesselbench/shell/Persistence.h"
#include "tesselbench/shell/Settings.h"
#include "tesselbench/shell/TextValues.h"
#include "tesselbench/shell/fmuMain.h"

using ::testing::ElementsAre;

namespace {

// A page that counts its life-cycle calls and has one control of each kind.
class TCountingPage : public TEnginePage {
 public:
  explicit TCountingPage(const QString& Name)
      : TEnginePage(Spec(Name)) {}
  int Updates = 0;
  int Objects = 0;
  void UpdatePage() override { ++Updates; }
  void UpdateObject() override { ++Objects; }

 private:
  static TPageSpec Spec(const QString& Name) {
    TPageSpec S;
    S.ObjectName = Name;
    S.Caption = "Страница";
    S.Controls = {
        {"edtText", "Текст:", TControlKind::Edit, QStringLiteral("default")},
        {"memText", "Memo:", TControlKind::Memo, QString()},
        {"edtNumber", "Число:", TControlKind::Spin, 5, 0, 100},
        {"cbItem", "Выбор:", TControlKind::Combo, 0, 0, 0,
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"chbFlag", "Флаг", TControlKind::Check, false},
        {"chbLive", "Живой", TControlKind::Check, false, 0, 0, {}, {}, false},
    };
    S.Buttons = {
        {"btnBeep", "Гудок", {Call(DRIVER_NAME("Beep"))}},
        {"btnSequence", "Цепочка",
         {Call(DRIVER_NAME("Beep")), Call(DRIVER_NAME("CutCheck")), Call(DRIVER_NAME("Beep"))}},
        {"btnBadSumm", "Сумма",
         {Set(DRIVER_NAME("Summ1"), "edtText", TConv::Summ, QStringLiteral("Summ1")),
          Call(DRIVER_NAME("CashIncome"))}},
    };
    return S;
  }
};

TPageTable TestTable() {
  return {
      {"Первая", QString(), {[] { return new TCountingPage(QStringLiteral("fmFirst")); }}},
      {"Пустая", QStringLiteral("fmEmpty"), {}},
      {"Вкладки",
       QStringLiteral("fmTabs"),
       {[] { return new TCountingPage(QStringLiteral("fmTabA")); },
        [] { return new TCountingPage(QStringLiteral("fmTabB")); }}},
  };
}

class MainWindow : public TBenchTest {
 protected:
  std::unique_ptr<TfmMain> Open(const TPageTable& Table = TestTable()) {
    auto W = std::make_unique<TfmMain>(Table);
    QCoreApplication::processEvents();  // the queued last start-up step
    return W;
  }
  static TCountingPage* First(TfmMain& W) { return static_cast<TCountingPage*>(W.LinePage(0)); }
  static TfmTabbedPage* Tabs(TfmMain& W) { return static_cast<TfmTabbedPage*>(W.LinePage(1)); }
  static TCountingPage* Tab(TfmMain& W, int I) {
    return static_cast<TCountingPage*>(Tabs(W)->PageAt(I));
  }
  static QVariant Stored(const QString& Key) {
    QSettings S(BenchSettingsFileName(), QSettings::IniFormat);
    S.beginGroup(QString::fromLatin1(kBenchSettingsGroup));
    return S.value(Key);
  }
  void Store(const std::vector<std::pair<QString, QVariant>>& Values) {
    QSettings S(BenchSettingsFileName(), QSettings::IniFormat);
    S.beginGroup(QString::fromLatin1(kBenchSettingsGroup));
    for (const auto& [Key, Value] : Values) S.setValue(Key, Value);
    S.sync();
  }
};

}  // namespace

TEST_F(MainWindow, ListsOnlyLinesThatHavePages) {
  auto W = Open();
  EXPECT_THAT(W->ListLines(), ElementsAre(QString::fromUtf8("  01. Первая"),
                                          QString::fromUtf8("  02. Вкладки")));
  EXPECT_EQ(Tabs(*W)->Tabs()->tabText(1), QString::fromUtf8("Страница"));
}

TEST_F(MainWindow, TheProgramTableListsItsBuiltLinesInOrder) {
  auto W = Open(BenchPageTable());
  EXPECT_THAT(W->ListLines(), ElementsAre(QString::fromUtf8("  01. Сервис"),
                                          QString::fromUtf8("  02. Прочее")));
  auto* Other = qobject_cast<TfmTabbedPage*>(W->LinePage(1));
  ASSERT_NE(Other, nullptr);
  EXPECT_EQ(Other->Tabs()->tabText(0), QString::fromUtf8("ЛУ"));
  EXPECT_EQ(Other->Tabs()->tabText(1), QString::fromUtf8("Связь"));
}

TEST_F(MainWindow, ShowingTheCurrentPageCallsNothing) {
  auto W = Open();
  TCountingPage* P = First(*W);
  ASSERT_EQ(W->CurrentPage(), P);
  const int Updates = P->Updates;
  W->ShowPage(P);
  W->SelectLine(0);
  EXPECT_EQ(P->Updates, Updates);
  EXPECT_EQ(P->Objects, 0);
  W->SelectLine(1);
  EXPECT_EQ(P->Objects, 1);
  EXPECT_EQ(Tab(*W, 0)->Updates, 1);
  Tabs(*W)->SetTabIndex(1);
  EXPECT_EQ(Tab(*W, 0)->Objects, 1);
  EXPECT_EQ(Tab(*W, 1)->Updates, 1);
  W->SetPage(P);
  EXPECT_EQ(W->CurrentLine(), 0);
  W->SetPage(Tab(*W, 0));
  EXPECT_EQ(W->CurrentLine(), 1);
  EXPECT_EQ(Tabs(*W)->TabIndex(), 0);
}

TEST_F(MainWindow, ResultPanelShowsTheLastCall) {
  auto W = Open();
  Recorder().Script(TMethodId::Beep,
                    {0,
                     {{TPropertyId::ECRInput, QStringLiteral("13 1E 00 00 00")},
                      {TPropertyId::ECROutput, QStringLiteral("13 00 1E")},
                      {TPropertyId::OperatorNumber, 30}},
                     QString::fromUtf8("Ошибок нет")});
  First(*W)->Button(QStringLiteral("btnBeep"))->click();
  EXPECT_EQ(W->ResultField()->text(), QString::fromUtf8("(0) Ошибок нет"));
  EXPECT_EQ(W->InputField()->text(), QStringLiteral("13 1E 00 00 00"));
  EXPECT_EQ(W->OutputField()->text(), QStringLiteral("13 00 1E"));
  EXPECT_EQ(W->OperatorField()->text(), QStringLiteral("30"));
  EXPECT_TRUE(W->TimeField()->text().endsWith(QString::fromUtf8(" мс")));
  EXPECT_TRUE(FDialogs.Errors.isEmpty());
}

TEST_F(MainWindow, AFailingSequenceStopsSilentlyAndReportsItsCode) {
  auto W = Open();
  Recorder().Script(TMethodId::CutCheck, {80, {}, QString::fromUtf8("Идет печать")});
  First(*W)->Button(QStringLiteral("btnSequence"))->click();
  EXPECT_THAT(Recorder().MethodNames(), ElementsAre("Beep", "CutCheck"));
  EXPECT_EQ(W->ResultField()->text(), QString::fromUtf8("(80) Идет печать"));
  EXPECT_TRUE(FDialogs.Errors.isEmpty());
  for (auto* B : First(*W)->findChildren<QPushButton*>()) EXPECT_TRUE(B->isEnabled());
}

TEST_F(MainWindow, OtherErrorsGoToAnErrorBoxBeforeAnyDriverCall) {
  auto W = Open();
  First(*W)->SetText(QStringLiteral("edtText"), QStringLiteral("1e5"));
  First(*W)->Button(QStringLiteral("btnBadSumm"))->click();
  EXPECT_TRUE(Recorder().Calls().empty());
  EXPECT_THAT(FDialogs.Errors,
              ElementsAre(QString::fromUtf8("Некорректное значение в поле\n\"Summ1\"")));
}

TEST_F(MainWindow, NoDriverInstalledIsReportedAndTheWindowStillRuns) {
  FreeDriver();
  auto W = Open();
  ASSERT_FALSE(FDialogs.Errors.isEmpty());
  EXPECT_TRUE(FDialogs.Errors[0].startsWith(QString::fromUtf8("Ошибка создания объекта драйвера: ")));
  EXPECT_FALSE(DriverExists());
  EXPECT_EQ(W->windowTitle(), DefaultCaption());
}

TEST_F(MainWindow, ControlValuesRoundTrip) {
  {
    auto W = Open();
    W->SelectLine(1);
    Tabs(*W)->SetTabIndex(1);
    TCountingPage* P = Tab(*W, 1);
    P->SetText(QStringLiteral("edtText"), QString::fromUtf8("значение"));
    P->SetText(QStringLiteral("memText"), QString(5000, QLatin1Char('m')));
    P->SetText(QStringLiteral("edtNumber"), QStringLiteral("42"));
    qobject_cast<QComboBox*>(P->Control(QStringLiteral("cbItem")))->setCurrentIndex(2);
    qobject_cast<QCheckBox*>(P->Control(QStringLiteral("chbFlag")))->setChecked(true);
    qobject_cast<QCheckBox*>(P->Control(QStringLiteral("chbLive")))->setChecked(true);
    W->PasswordField()->setText(QStringLiteral("30"));
  }
  EXPECT_EQ(Stored(QStringLiteral("fmMain.fmTabs.fmTabB.edtText")).toString(),
            QString::fromUtf8("значение"));
  EXPECT_EQ(Stored(QStringLiteral("fmMain.fmTabs.fmTabB.memText")).toString().size(), 4096);
  EXPECT_FALSE(Stored(QStringLiteral("fmMain.fmTabs.fmTabB.chbLive")).isValid());  // tag 1000
  EXPECT_FALSE(Stored(QStringLiteral("fmMain.edtResult")).isValid());            // read-only
  EXPECT_EQ(Stored(QStringLiteral("PageIndex")).toInt(), 1);
  EXPECT_EQ(Stored(QStringLiteral("TabIndex")).toInt(), 1);
  EXPECT_TRUE(Stored(QStringLiteral("MPHeigth")).isValid());

  InstallRecorder();
  auto W = Open();
  EXPECT_EQ(W->CurrentLine(), 1);
  EXPECT_EQ(Tabs(*W)->TabIndex(), 1);
  TCountingPage* P = Tab(*W, 1);
  EXPECT_EQ(P->Text(QStringLiteral("edtText")), QString::fromUtf8("значение"));
  EXPECT_EQ(P->Text(QStringLiteral("memText")).size(), 4096);
  EXPECT_EQ(P->IntValue(QStringLiteral("edtNumber")), 42);
  EXPECT_EQ(P->Index(QStringLiteral("cbItem")), 2);
  EXPECT_TRUE(P->Checked(QStringLiteral("chbFlag")));
  EXPECT_FALSE(P->Checked(QStringLiteral("chbLive")));
  EXPECT_EQ(Driver()->Password(), 30);  // the saved password goes into the driver
  EXPECT_EQ(W->PasswordField()->text(), QStringLiteral("30"));
}

TEST_F(MainWindow, CorruptOrOutOfRangeValuesFallBackToDefaults) {
  const struct {
    QVariant PageIndex;
    int Line;
  } PageCases[] = {{-1, 0}, {999, 0}, {QStringLiteral("x"), 0}, {1, 1}};
  for (const auto& Case : PageCases) {
    Store({{QStringLiteral("PageIndex"), Case.PageIndex},
           {QStringLiteral("TabIndex"), 7},
           {QStringLiteral("fmMain.fmFirst.cbItem"), 5},
           {QStringLiteral("fmMain.fmFirst.edtNumber"), QStringLiteral("abc")},
           {QStringLiteral("fmMain.fmFirst.chbFlag"), QStringLiteral("maybe")},
           {QStringLiteral("MPWidth"), QStringLiteral("wide")}});
    InstallRecorder();
    auto W = Open();
    EXPECT_EQ(W->CurrentLine(), Case.Line) << Case.PageIndex.toString().toStdString();
    EXPECT_EQ(Tabs(*W)->TabIndex(), 0);  // 7 is beyond the tabs
    EXPECT_EQ(First(*W)->Index(QStringLiteral("cbItem")), 0);
    EXPECT_EQ(First(*W)->IntValue(QStringLiteral("edtNumber")), 5);
    EXPECT_FALSE(First(*W)->Checked(QStringLiteral("chbFlag")));
    EXPECT_EQ(First(*W)->Text(QStringLiteral("edtText")), QStringLiteral("default"));  // missing key
  }
}

TEST_F(MainWindow, PasswordFieldTakesDigitsOnly) {
  auto W = Open();
  QLineEdit* Field = W->PasswordField();
  Recorder().Preset(TPropertyId::Password, 30);
  Field->clear();
  Field->setFocus();
  QTest::keyClicks(Field, QStringLiteral("1.2"));
  EXPECT_EQ(Field->text(), QStringLiteral("12"));
  EXPECT_EQ(Driver()->Password(), 12);
  QTest::keyClick(Field, Qt::Key_Backspace);
  QTest::keyClick(Field, Qt::Key_Backspace);
  EXPECT_EQ(Field->text(), QString());
  EXPECT_EQ(Driver()->Password(), 1);  // an emptied field changes nothing
  EXPECT_TRUE(FDialogs.Errors.isEmpty());
}

TEST_F(MainWindow, PasteRules) {
  const QString Refused = QString::fromUtf8("Некорректное значение в поле \"Password\"");
  EXPECT_EQ(TfmMain::PasteRefusal(QString(1025, QLatin1Char('1'))), Refused);
  EXPECT_EQ(TfmMain::PasteRefusal(QStringLiteral("12.5")), Refused);
  EXPECT_EQ(TfmMain::PasteRefusal(QStringLiteral("abc")), Refused);
  EXPECT_EQ(TfmMain::PasteRefusal(QStringLiteral("30")), QString());
  auto W = Open();
  QGuiApplication::clipboard()->setText(QString(1025, QLatin1Char('1')));
  W->PasswordField()->setFocus();
  QTest::keyClick(W->PasswordField(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_THAT(FDialogs.Errors, ElementsAre(Refused));
}

TEST_F(MainWindow, CaptionFollowsTheConnection) {
  const QString D = QStringLiteral("T");
  EXPECT_EQ(CaptionForConnection(D, 0, 3, 6, {}, {}, 0),
            QStringLiteral("T [Serial: COM3 Baudrate 115200]"));
  EXPECT_EQ(CaptionForConnection(D, 2, 1, 1, QStringLiteral("srv"), {}, 0),
            QStringLiteral("T [DCOM:srv COM1 Baudrate 4800]"));
  EXPECT_EQ(CaptionForConnection(D, 6, 1, 1, {}, QStringLiteral("10.0.0.5"), 7778),
            QStringLiteral("T [TCP: 10.0.0.5: 7778]"));
  EXPECT_EQ(CaptionForConnection(D, 7, 1, 1, {}, {}, 0), D);
  EXPECT_TRUE(DefaultCaption().endsWith(QStringLiteral(" (%1-bit)").arg(QT_POINTER_SIZE * 8)));
}

TEST_F(MainWindow, TheCaptionNeverCreatesAFreedDriver) {
  auto W = Open();
  FreeDriver();
  W->UpdateCaption();
  TPageNotifier::Instance().DoChange(nullptr, true);
  EXPECT_FALSE(DriverExists());
}

TEST_F(MainWindow, LanguageChoiceIsStoredAndAnnounced) {
  auto W = Open();
  W->EnglishAction()->trigger();
  EXPECT_EQ(ReadLanguage(), QStringLiteral("EN"));
  EXPECT_TRUE(W->EnglishAction()->isChecked());
  EXPECT_THAT(FDialogs.Messages,
              ElementsAre(QString::fromUtf8(
                  "Внимание|Для измения языка необходимо перезапустить приложение")));
  W->RussianAction()->trigger();
  EXPECT_EQ(ReadLanguage(), QStringLiteral("RU"));
}

TEST_F(MainWindow, BusyGuardRefusesOtherHandlersButLetsTheStopButtonThrough) {
  auto W = Open();
  TCountingPage* P = First(*W);
  QPushButton* Stop = P->Button(QStringLiteral("btnSequence"));
  bool Stopped = false;
  int Nested = 0;
  P->RunButton(nullptr, [&] {
    TBusyGuard::Instance().SetStop({Stop}, [&] { Stopped = true; });
    P->RunHandler(P->Button(QStringLiteral("btnBeep")), [&] { ++Nested; });  // refused
    P->RunHandler(Stop, [&] { TBusyGuard::Instance().RequestStop(); });      // let through
    W->SelectLine(1);  // refused
    EXPECT_FALSE(W->close());
  });
  EXPECT_EQ(Nested, 0);
  EXPECT_TRUE(Stopped);
  EXPECT_EQ(W->CurrentLine(), 0);
  QCoreApplication::processEvents();  // the close waits for the job, then happens
  EXPECT_FALSE(TBusyGuard::Instance().Busy());
}
