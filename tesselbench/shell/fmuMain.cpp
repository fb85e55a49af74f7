#include "tesselbench/shell/fmuMain.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "Version.h"
#include "common/text/Intl.h"
#include "tesselbench/shell/Dialogs.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/Persistence.h"
#include "tesselbench/shell/Settings.h"
#include "tesselbench/shell/TestParams.h"
#include "tesselbench/shell/TextValues.h"

namespace {

QString Tr(const char* Id) { return QString::fromUtf8(_(Id)); }

QString Bitness() { return QStringLiteral(" (%1-bit)").arg(QT_POINTER_SIZE * 8); }

constexpr int kListMinWidth = 14;
constexpr int kListMaxWidth = 165;
constexpr int kSplitterLimit = 200;

std::optional<int> StrictInt(const QVariant& V) {
  bool Ok = false;
  const int Value = V.toString().toInt(&Ok);
  if (!Ok) return std::nullopt;
  return Value;
}

}  // namespace

QString DefaultCaption() {
  return Tr("Тест драйвера") + QStringLiteral(" KKT ") + QStringLiteral(VARKON_FILE_VERSION) +
         Bitness();
}

QString CaptionForConnection(const QString& Default, int ConnectionType, int ComNumber,
                             int BaudCode, const QString& ComputerName, const QString& IPAddress,
                             int TCPPort) {
  switch (ConnectionType) {
    case 0:
      return Default + QStringLiteral(" [Serial: COM%1 Baudrate %2]")
                           .arg(ComNumber)
                           .arg(BaudRateOfCode(BaudCode));
    case 1:
    case 2:
      return Default + QStringLiteral(" [DCOM:%1 COM%2 Baudrate %3]")
                           .arg(ComputerName)
                           .arg(ComNumber)
                           .arg(BaudRateOfCode(BaudCode));
    case 6:
      return Default + QStringLiteral(" [TCP: %1: %2]").arg(IPAddress).arg(TCPPort);
    default:
      return Default;
  }
}

TfmMain::TfmMain(const TPageTable& Table, QWidget* Parent) : QMainWindow(Parent) {
  setObjectName(QStringLiteral("fmMain"));
  // 1. The language is chosen before any text is made.
  varkon::SetCatalogueLanguage(ReadLanguage() == QStringLiteral("EN") ? "en" : "ru");
  BuildWindow();
  // 2. The notifier reports page-button sequences to the result panel.
  TPageNotifier::Instance().SetOnChange([this](QObject*, bool Enabled) { ResultChanged(Enabled); });
  // 3, 4. Every page, then Initialize in list order.
  RegisterPages(Table);
  for (TPage* Page : FLinePages) {
    try {
      Page->Initialize();
    } catch (...) {
      ShowHandlerError(this, std::current_exception());
    }
  }
  // 5. Saved values and geometry, the saved line and tab.
  LoadSettings();
  // 6. Password, caption, language mark.
  FPassword->installEventFilter(this);
  const bool English = ReadLanguage() == QStringLiteral("EN");
  FEnglish->setChecked(English);
  FRussian->setChecked(!English);
  UpdateCaption();
  // The driver is reached once the window is up, so that a failure to create
  // it is reported over the window rather than before it.
  QTimer::singleShot(0, this, &TfmMain::ConnectPassword);
}

void TfmMain::ConnectPassword() {
  RunGuarded([this] {
    // The saved password goes into the driver: that is how it persists.
    bool Ok = false;
    const int Saved = FPassword->text().toInt(&Ok);
    if (Ok) Driver()->SetPassword(Saved);
    ShowPassword();
  });
  UpdateCaption();
}

TfmMain::~TfmMain() {
  TPageNotifier::Instance().SetOnChange(nullptr);
  SaveSettings();
  FCurrentPage = nullptr;
  FPages.Clear();
  FreeDriver();
  TTestParams::FreeInstance();
}

void TfmMain::BuildWindow() {
  auto* File = menuBar()->addMenu(Tr("Файл"));
  File->addAction(Tr("Свойства драйвера..."), this, [this] { ShowProperties(false); });
  File->addAction(Tr("В&ыход"), this, &QWidget::close);
  auto* Language = menuBar()->addMenu(Tr("Язык"));
  auto* Group = new QActionGroup(this);
  FRussian = Language->addAction(Tr("Русский"), this, [this] { ChooseLanguage("RU"); });
  FEnglish = Language->addAction(QStringLiteral("English"), this, [this] { ChooseLanguage("EN"); });
  for (QAction* A : {FRussian, FEnglish}) {
    A->setCheckable(true);
    Group->addAction(A);
  }
  auto* Help = menuBar()->addMenu(Tr("Справка"));
  Help->addAction(Tr("О программе..."), this, &TfmMain::ShowAbout);
  Help->addAction(Tr("Написать разработчикам..."), this, [] {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:tesselbench@varkon.ru")));
  });

  auto* Central = new QWidget(this);
  auto* Layout = new QVBoxLayout(Central);
  FSplitter = new QSplitter(Qt::Horizontal, Central);
  FPageList = new QListWidget(FSplitter);
  FPageList->setObjectName(QStringLiteral("lbPages"));
  FPageList->setMinimumWidth(kListMinWidth);
  FPageList->setMaximumWidth(kListMaxWidth);
  FSite = new QWidget(FSplitter);
  FSite->setObjectName(QStringLiteral("pnlPage"));
  auto* SiteLayout = new QVBoxLayout(FSite);
  SiteLayout->setContentsMargins(0, 0, 0, 0);
  FSplitter->addWidget(FPageList);
  FSplitter->addWidget(FSite);
  FSplitter->setStretchFactor(1, 1);
  FSplitter->setChildrenCollapsible(false);
  FSplitter->setSizes({kListMaxWidth, 800});
  connect(FSplitter, &QSplitter::splitterMoved, this, [this](int Pos, int) {
    if (Pos > kSplitterLimit) FSplitter->setSizes({kSplitterLimit, FSplitter->width()});
  });
  connect(FPageList, &QListWidget::currentRowChanged, this, [this](int Row) {
    if (Row == FShownLine || Row < 0) return;
    if (TBusyGuard::Instance().Busy()) {
      // Refused while a handler runs: the current line stays selected.
      const QSignalBlocker Block(FPageList);
      FPageList->setCurrentRow(FShownLine);
      return;
    }
    SelectLine(Row);
  });
  Layout->addWidget(FSplitter, 1);

  auto* Panel = new QWidget(Central);
  Panel->setObjectName(QStringLiteral("pnlResult"));
  auto* Grid = new QGridLayout(Panel);
  Grid->setContentsMargins(0, 0, 0, 0);
  auto AddField = [&](const char* Name, const char* Caption, int Row, int Column) {
    auto* Edit = new QLineEdit(Panel);
    Edit->setObjectName(QString::fromLatin1(Name));
    Edit->setReadOnly(true);
    auto* Label = new QLabel(Tr(Caption), Panel);
    Label->setBuddy(Edit);
    Grid->addWidget(Label, Row, Column);
    Grid->addWidget(Edit, Row, Column + 1);
    return Edit;
  };
  FResult = AddField("edtResult", "Результат:", 0, 0);
  FInput = AddField("edtInput", "Передано:", 1, 0);
  FOutput = AddField("edtOutput", "Принято:", 2, 0);
  FTime = AddField("edtTime", "Время:", 0, 2);
  FOperator = AddField("edtOperator", "Оператор:", 1, 2);
  FPassword = AddField("edtPassword", "Пароль:", 2, 2);
  FPassword->setReadOnly(false);
  FPassword->setMaxLength(100);
  // Digits only: "." never converted to a password.
  FPassword->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), FPassword));
  FPassword->setContextMenuPolicy(Qt::NoContextMenu);  // pasting goes through the key filter
  connect(FPassword, &QLineEdit::textEdited, this, &TfmMain::PasswordEdited);
  connect(FPassword, &QLineEdit::editingFinished, this, [this] {
    if (DriverExists()) ShowPassword();
  });
  Grid->setColumnStretch(1, 3);
  Grid->setColumnStretch(3, 1);
  auto* Properties = new QPushButton(Tr("Настройка свойств"), Panel);
  Properties->setObjectName(QStringLiteral("btnProperties"));
  connect(Properties, &QPushButton::clicked, this, [this] { ShowProperties(true); });
  auto* Close = new QPushButton(Tr("Закрыть"), Panel);
  Close->setObjectName(QStringLiteral("btnClose"));
  connect(Close, &QPushButton::clicked, this, &QWidget::close);
  Grid->addWidget(Properties, 0, 4);
  Grid->addWidget(Close, 2, 4);
  Layout->addWidget(Panel);
  setCentralWidget(Central);
  resize(1000, 700);
}

void TfmMain::RegisterPages(const TPageTable& Table) {
  for (const TPageLine& Line : Table) {
    if (Line.Pages.empty()) continue;  // a line appears once it has a page
    TPage* LinePage = nullptr;
    if (Line.ObjectName.isEmpty()) {
      LinePage = Line.Pages.front()();
    } else {
      auto* Tabbed = new TfmTabbedPage();
      Tabbed->setObjectName(Line.ObjectName);
      for (const auto& Make : Line.Pages) Tabbed->AddPage(Make());
      LinePage = Tabbed;
    }
    LinePage->SetCaption(Tr(Line.Caption));
    LinePage->setParent(FSite);
    FSite->layout()->addWidget(LinePage);
    LinePage->hide();
    LinePage->SetOwner(&FPages);
    FLinePages.push_back(LinePage);
    FPageList->addItem(QString::asprintf("  %.2d. ", static_cast<int>(FLinePages.size())) +
                       Tr(Line.Caption));
  }
}

QStringList TfmMain::ListLines() const {
  QStringList Lines;
  for (int I = 0; I < FPageList->count(); ++I) Lines << FPageList->item(I)->text();
  return Lines;
}

int TfmMain::LineCount() const { return static_cast<int>(FLinePages.size()); }

TPage* TfmMain::LinePage(int Line) const {
  return Line >= 0 && Line < LineCount() ? FLinePages[Line] : nullptr;
}

int TfmMain::CurrentLine() const { return FShownLine; }

void TfmMain::SelectLine(int Line) {
  if (Line < 0 || Line >= LineCount() || TBusyGuard::Instance().Busy()) return;
  FShownLine = Line;
  {
    const QSignalBlocker Block(FPageList);
    FPageList->setCurrentRow(Line);
  }
  ShowPage(FLinePages[Line]);
}

void TfmMain::ShowPage(TPage* Page) {
  if (Page == FCurrentPage || !Page) return;
  try {
    if (FCurrentPage) FCurrentPage->UpdateObject();
    Page->show();
    Page->UpdatePage();
  } catch (...) {
    ShowHandlerError(this, std::current_exception());
  }
  if (FCurrentPage) FCurrentPage->hide();
  FCurrentPage = Page;
  const int Limit =
      std::max(kListMinWidth, width() - Page->minimumSizeHint().width() - 20);
  FPageList->setMaximumWidth(std::min(std::max(Limit, kListMinWidth), kSplitterLimit));
}

void TfmMain::SetPage(TPage* Page) {
  for (int Line = 0; Line < LineCount(); ++Line) {
    if (FLinePages[Line] == Page) {
      SelectLine(Line);
      return;
    }
    if (auto* Tabbed = qobject_cast<TfmTabbedPage*>(FLinePages[Line])) {
      for (int Tab = 0; Tab < Tabbed->PageCount(); ++Tab) {
        if (Tabbed->PageAt(Tab) == Page) {
          SelectLine(Line);
          Tabbed->SetTabIndex(Tab);
          return;
        }
      }
    }
  }
}

void TfmMain::UpdateCaption() {
  QString Caption = DefaultCaption();
  try {
    if (DriverExists()) {
      IDriver& D = Driver().Instance();
      Caption = CaptionForConnection(Caption, D.ConnectionType(), D.ComNumber(), D.BaudRate(),
                                     D.ComputerName(), D.IPAddress(), D.TCPPort());
    }
  } catch (...) {
  }
  setWindowTitle(Caption);
  FAppTitle = Caption + QStringLiteral(" KKT");
}

void TfmMain::ResultChanged(bool Enabled) {
  if (!Enabled) {
    FTimer.start();
    for (QLineEdit* E : {FInput, FOutput, FResult, FTime, FOperator}) E->clear();
    repaint();
    return;
  }
  try {
    if (DriverExists()) {
      IDriver& D = Driver().Instance();
      FInput->setText(D.ECRInput());
      FOutput->setText(D.ECROutput());
      FResult->setText(QStringLiteral("(%1) %2").arg(D.ResultCode()).arg(D.ResultCodeDescription()));
      FTime->setText(QString::number(FTimer.isValid() ? FTimer.elapsed() : 0) +
                     QStringLiteral(" ") + Tr("мс"));
      FOperator->setText(QString::number(D.OperatorNumber()));
    }
  } catch (...) {
    // The panel is only a report: its errors are ignored.
  }
  UpdateCaption();
}

QString TfmMain::PasteRefusal(const QString& Text) {
  const QString Message = Tr("Некорректное значение в поле") + QStringLiteral(" \"Password\"");
  if (Text.size() > 1024) return Message;
  bool Ok = false;
  Text.toInt(&Ok);
  if (!Ok) return Message;
  for (QChar C : Text) {
    if (!C.isDigit()) return Message;  // digits only, as typing
  }
  return {};
}

bool TfmMain::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == FPassword && Event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(Event)->matches(QKeySequence::Paste)) {
    const QString Refusal = PasteRefusal(QGuiApplication::clipboard()->text());
    if (!Refusal.isEmpty()) {
      Dialogs().ShowError(this, Refusal);
      return true;
    }
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TfmMain::PasswordEdited(const QString& Text) {
  if (Text.isEmpty()) return;  // an emptied field changes nothing
  RunGuarded([&] {
    bool Ok = false;
    const int Value = Text.toInt(&Ok);
    if (!Ok) throw EUserError(Tr("\"%1\" не является целым числом").arg(Text));
    Driver()->SetPassword(Value);
  });
}

void TfmMain::ShowPassword() { FPassword->setText(QString::number(Driver()->Password())); }

void TfmMain::ShowProperties(bool UpdateCurrent) {
  RunGuarded([&] {
    Driver()->ShowProperties();
    if (!UpdateCurrent) return;
    ShowPassword();
    if (FCurrentPage) FCurrentPage->UpdatePage();
  });
}

void TfmMain::ChooseLanguage(const QString& Lang) {
  WriteLanguage(Lang);
  FEnglish->setChecked(Lang == QStringLiteral("EN"));
  FRussian->setChecked(Lang != QStringLiteral("EN"));
  Dialogs().ShowMessage(this, Tr("Внимание"),
                        Tr("Для измения языка необходимо перезапустить приложение"));
}

void TfmMain::ShowAbout() {
  Dialogs().ShowMessage(this, FAppTitle,
                        FAppTitle + QStringLiteral("\n") + Tr("Версия теста: ") +
                            QStringLiteral(VARKON_FILE_VERSION) + Bitness());
}

void TfmMain::RunGuarded(const std::function<void()>& Body) {
  if (TBusyGuard::Instance().Busy()) return;
  TBusyGuard::TScope Scope;
  try {
    Body();
  } catch (...) {
    ShowHandlerError(this, std::current_exception());
  }
}

void TfmMain::closeEvent(QCloseEvent* Event) {
  auto& Guard = TBusyGuard::Instance();
  if (Guard.Busy()) {
    // A loop is running: ask it to stop and close once it has.
    Guard.RequestStop();
    Guard.WhenIdle([Window = QPointer<TfmMain>(this)] {
      if (Window) Window->close();
    });
    Event->ignore();
    return;
  }
  Event->accept();
}

void TfmMain::SaveSettings() {
  QSettings S(BenchSettingsFileName(), QSettings::IniFormat);
  S.beginGroup(QString::fromLatin1(kBenchSettingsGroup));
  SaveControls(this, S);
  S.setValue(QStringLiteral("PageIndex"), FShownLine);
  int Tab = 0;
  if (auto* Tabbed = qobject_cast<TfmTabbedPage*>(LinePage(FShownLine))) Tab = Tabbed->TabIndex();
  S.setValue(QStringLiteral("TabIndex"), Tab);
  S.setValue(QStringLiteral("MPWidth"), width());
  S.setValue(QStringLiteral("MPHeigth"), height());
  S.setValue(QStringLiteral("MPTop"), y());
  S.setValue(QStringLiteral("MPLeft"), x());
  S.endGroup();
  S.sync();
}

void TfmMain::LoadSettings() {
  QSettings S(BenchSettingsFileName(), QSettings::IniFormat);
  S.beginGroup(QString::fromLatin1(kBenchSettingsGroup));
  int Line = 0;
  std::optional<int> Tab;
  if (!S.childKeys().isEmpty()) {
    LoadControls(this, S);
    Line = StrictInt(S.value(QStringLiteral("PageIndex"))).value_or(0);
    if (Line < 0 || Line >= LineCount()) Line = 0;
    Tab = StrictInt(S.value(QStringLiteral("TabIndex")));
    QRect G = geometry();
    if (auto V = StrictInt(S.value(QStringLiteral("MPWidth")))) G.setWidth(*V);
    if (auto V = StrictInt(S.value(QStringLiteral("MPHeigth")))) G.setHeight(*V);
    if (auto V = StrictInt(S.value(QStringLiteral("MPTop")))) G.moveTop(*V);
    if (auto V = StrictInt(S.value(QStringLiteral("MPLeft")))) G.moveLeft(*V);
    if (G.width() > 0 && G.height() > 0) {
      resize(G.size());
      move(G.topLeft());
    }
  } else {
    LoadControls(this, S);  // combo boxes to their first item
  }
  S.endGroup();
  if (auto* Tabbed = qobject_cast<TfmTabbedPage*>(LinePage(Line)); Tabbed && Tab) {
    Tabbed->SetTabIndex(*Tab);
  }
  SelectLine(Line);
}
