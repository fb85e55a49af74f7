#include "tesselbench/shell/PageEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/text/Intl.h"
#include "driver/ByName.h"
#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/Persistence.h"
#include "tesselbench/shell/TextValues.h"

namespace {

QString Tr(const char* Id) { return QString::fromUtf8(_(Id)); }

int StrictInt(const QString& Text) {
  bool Ok = false;
  const int Value = Text.trimmed().toInt(&Ok);
  if (!Ok) throw EUserError(Tr("\"%1\" не является целым числом").arg(Text));
  return Value;
}

double StrictDouble(const QString& Text) {
  bool Ok = false;
  double Value = QLocale::system().toDouble(Text.trimmed(), &Ok);
  if (!Ok) Value = QLocale::c().toDouble(Text.trimmed(), &Ok);
  if (!Ok) throw EUserError(Tr("\"%1\" не является числом").arg(Text));
  return Value;
}

}  // namespace

TStep Set(const char* Property, QString Control, TConv Conv, QString FieldName) {
  return {TStep::TKind::Set, Property, std::move(Control), Conv, {}, std::move(FieldName)};
}

TStep SetConst(const char* Property, QVariant Value) {
  return {TStep::TKind::SetConst, Property, {}, TConv::Text, std::move(Value), {}};
}

TStep Call(const char* Method) { return {TStep::TKind::Call, Method, {}, TConv::Text, {}, {}}; }

TStep CallUnchecked(const char* Method) {
  return {TStep::TKind::CallUnchecked, Method, {}, TConv::Text, {}, {}};
}

TStep CheckLength(QString Control, QString FieldName) {
  return {TStep::TKind::CheckLength, nullptr, std::move(Control), TConv::Text, {},
          std::move(FieldName)};
}

TEnginePage::TEnginePage(TPageSpec Spec, QWidget* Parent) : TPage(Parent), FSpec(std::move(Spec)) {
  setObjectName(FSpec.ObjectName);
  SetCaption(Tr(FSpec.Caption));
  Build();
}

void TEnginePage::Build() {
  auto* Outer = new QHBoxLayout(this);
  auto* Fields = new QGridLayout();
  Fields->setColumnStretch(1, 1);
  int Row = 0;
  for (const TControlSpec& C : FSpec.Controls) {
    QWidget* W = nullptr;
    QLabel* L = nullptr;
    if (C.Kind != TControlKind::Check) {
      L = new QLabel(Tr(C.Caption), this);
      Fields->addWidget(L, Row, 0);
    }
    switch (C.Kind) {
      case TControlKind::Edit:
      case TControlKind::ReadOnlyEdit: {
        auto* E = new QLineEdit(this);
        E->setText(C.Default.toString());
        E->setReadOnly(C.Kind == TControlKind::ReadOnlyEdit);
        connect(E, &QLineEdit::textEdited, this, [this, Name = C.Name] {
          if (FSpec.OnUserChange) RunHandler(nullptr, [&] { FSpec.OnUserChange(*this, Name); });
        });
        W = E;
        break;
      }
      case TControlKind::Memo: {
        auto* M = new QPlainTextEdit(this);
        M->setPlainText(C.Default.toString());
        W = M;
        break;
      }
      case TControlKind::Spin: {
        auto* S = new QSpinBox(this);
        S->setRange(C.Min, C.Max);
        S->setValue(C.Default.toInt());
        W = S;
        break;
      }
      case TControlKind::Combo: {
        auto* B = new QComboBox(this);
        for (size_t I = 0; I < C.Items.size(); ++I) {
          const QString Text =
              C.TranslateItems ? Tr(C.Items[I].toUtf8().constData()) : C.Items[I];
          B->addItem(Text, I < C.Codes.size() ? C.Codes[I] : static_cast<int>(I));
        }
        B->setCurrentIndex(C.Default.isValid() ? C.Default.toInt() : 0);
        // activated comes from the user only, never from loading.
        connect(B, &QComboBox::activated, this, [this, Name = C.Name] {
          if (FSpec.OnUserChange) RunHandler(nullptr, [&] { FSpec.OnUserChange(*this, Name); });
        });
        W = B;
        break;
      }
      case TControlKind::Check: {
        auto* B = new QCheckBox(Tr(C.Caption), this);
        B->setChecked(C.Default.toBool());
        W = B;
        break;
      }
    }
    W->setObjectName(C.Name);
    if (!C.Persisted) SetNotPersisted(W);
    if (C.Kind == TControlKind::Check) {
      Fields->addWidget(W, Row, 0, 1, 2);
    } else {
      Fields->addWidget(W, Row, 1);
      L->setBuddy(W);
      FLabels[C.Name] = L;
    }
    FControls[C.Name] = W;
    ++Row;
  }
  Fields->setRowStretch(Row, 1);

  auto* Buttons = new QGridLayout();
  int Index = 0;
  const int Columns = std::max(1, FSpec.ButtonColumns);
  for (const TButtonSpec& B : FSpec.Buttons) {
    if (B.OnControl) {
      auto* Box = qobject_cast<QCheckBox*>(Control(B.Name));
      if (!Box) continue;
      // clicked is the user's action; setChecked by loading never fires it.
      connect(Box, &QCheckBox::clicked, this, [this, &B, Box] { RunButtonSpec(B, Box); });
      continue;
    }
    auto* Button = new QPushButton(Tr(B.Caption), this);
    Button->setObjectName(B.Name);
    connect(Button, &QPushButton::clicked, this, [this, &B, Button] { RunButtonSpec(B, Button); });
    Buttons->addWidget(Button, Index / Columns, Index % Columns);
    FButtons[B.Name] = Button;
    ++Index;
  }
  Buttons->setRowStretch((Index + Columns - 1) / Columns, 1);

  Outer->addLayout(Fields, 3);
  Outer->addLayout(Buttons, Columns > 1 ? 3 : 2);
}

QWidget* TEnginePage::Control(const QString& Name) const {
  const auto It = FControls.find(Name);
  return It == FControls.end() ? nullptr : It->second;
}

QPushButton* TEnginePage::Button(const QString& Name) const {
  const auto It = FButtons.find(Name);
  return It == FButtons.end() ? nullptr : It->second;
}

QLabel* TEnginePage::Label(const QString& ControlName) const {
  const auto It = FLabels.find(ControlName);
  return It == FLabels.end() ? nullptr : It->second;
}

QString TEnginePage::Text(const QString& Name) const {
  QWidget* W = Control(Name);
  if (auto* E = qobject_cast<QLineEdit*>(W)) return E->text();
  if (auto* M = qobject_cast<QPlainTextEdit*>(W)) return M->toPlainText();
  if (auto* B = qobject_cast<QComboBox*>(W)) return B->currentText();
  if (auto* S = qobject_cast<QSpinBox*>(W)) return QString::number(S->value());
  return {};
}

void TEnginePage::SetText(const QString& Name, const QString& Text) {
  QWidget* W = Control(Name);
  if (auto* E = qobject_cast<QLineEdit*>(W)) E->setText(Text);
  if (auto* M = qobject_cast<QPlainTextEdit*>(W)) M->setPlainText(Text);
  if (auto* S = qobject_cast<QSpinBox*>(W)) S->setValue(Text.toInt());
}

int TEnginePage::IntValue(const QString& Name) const {
  QWidget* W = Control(Name);
  if (auto* S = qobject_cast<QSpinBox*>(W)) return S->value();
  if (auto* B = qobject_cast<QComboBox*>(W)) return B->currentIndex();
  return StrictInt(Text(Name));
}

bool TEnginePage::Checked(const QString& Name) const {
  auto* B = qobject_cast<QCheckBox*>(Control(Name));
  return B && B->isChecked();
}

int TEnginePage::Index(const QString& Name) const {
  auto* B = qobject_cast<QComboBox*>(Control(Name));
  return B ? B->currentIndex() : -1;
}

int TEnginePage::Code(const QString& Name) const {
  auto* B = qobject_cast<QComboBox*>(Control(Name));
  return B ? B->currentData().toInt() : 0;
}

QVariant TEnginePage::Input(const QString& Name, TConv Conv, const QString& FieldName) const {
  switch (Conv) {
    case TConv::Text: return Text(Name);
    case TConv::Int: return IntValue(Name);
    case TConv::Bool: return Checked(Name);
    case TConv::Index: return Index(Name);
    case TConv::IndexPlus1: return Index(Name) + 1;
    case TConv::Code: return Code(Name);
    case TConv::Summ: return QVariant::fromValue(GetSumm(Text(Name), FieldName));
    case TConv::Double: return StrictDouble(Text(Name));
    case TConv::TcpPortOfCode: return TcpPortOfCode(IntValue(Name));
    case TConv::Amount: return Text(Name);
  }
  return {};
}

void TEnginePage::Output(const TOutput& Out) {
  const QVariant V = GetPropertyByName(Driver().Instance(), QString::fromLatin1(Out.Property));
  QWidget* W = Control(Out.Control);
  auto* Combo = qobject_cast<QComboBox*>(W);
  auto* Spin = qobject_cast<QSpinBox*>(W);
  auto SetInt = [&](int Value) {
    if (Spin) {
      Spin->setValue(Value);
    } else if (Combo) {
      if (Value >= 0 && Value < Combo->count()) Combo->setCurrentIndex(Value);
    } else {
      SetText(Out.Control, QString::number(Value));
    }
  };
  switch (Out.Conv) {
    case TConv::Text:
    case TConv::Summ:
    case TConv::Double:
      SetText(Out.Control, V.typeId() == QMetaType::Double ? QString::number(V.toDouble())
                                                            : ValueToText(V));
      break;
    case TConv::Int:
    case TConv::Index:
      SetInt(V.toInt());
      break;
    case TConv::IndexPlus1:
      SetInt(V.toInt() - 1);
      break;
    case TConv::Code:
      if (Combo) {
        const int I = Combo->findData(V.toInt());
        if (I >= 0) Combo->setCurrentIndex(I);
      }
      break;
    case TConv::Bool:
      if (auto* B = qobject_cast<QCheckBox*>(W)) B->setChecked(V.toBool());
      break;
    case TConv::TcpPortOfCode:
      SetInt(CodeOfTcpPort(V.toInt()));
      break;
    case TConv::Amount:
      SetText(Out.Control, Driver().AmountToStr(V.value<TMoney>()));
      break;
  }
}

int TEnginePage::RunSteps(const std::vector<TStep>& Steps) {
  // Every field is converted and checked before the first driver access.
  std::vector<QVariant> Values(Steps.size());
  for (size_t I = 0; I < Steps.size(); ++I) {
    const TStep& S = Steps[I];
    if (S.Kind == TStep::TKind::Set) Values[I] = Input(S.Control, S.Conv, S.FieldName);
    if (S.Kind == TStep::TKind::SetConst) Values[I] = S.Value;
    if (S.Kind == TStep::TKind::CheckLength) CheckIntStr(Text(S.Control), S.FieldName);
  }
  int Code = 0;
  IDriver& D = Driver().Instance();
  for (size_t I = 0; I < Steps.size(); ++I) {
    const TStep& S = Steps[I];
    switch (S.Kind) {
      case TStep::TKind::Set:
      case TStep::TKind::SetConst:
        SetPropertyByName(D, QString::fromLatin1(S.Name), Values[I]);
        break;
      case TStep::TKind::Call:
        Code = CallMethodByName(D, QString::fromLatin1(S.Name));
        Check(Code);
        break;
      case TStep::TKind::CallUnchecked:
        Code = CallMethodByName(D, QString::fromLatin1(S.Name));
        break;
      case TStep::TKind::CheckLength:
        break;
    }
  }
  return Code;
}

void TEnginePage::RunButtonSpec(const TButtonSpec& B, const QObject* Sender) {
  auto Body = [this, &B] {
    try {
      RunSteps(B.Steps);
      if (B.Custom) B.Custom(*this);
      for (const TOutput& Out : B.Outputs) Output(Out);
    } catch (const EAbort&) {
      for (const QString& Name : B.ClearOnFailure) SetText(Name, QString());
      if (B.UpdatePageAfter) UpdatePage();
      throw;
    }
    if (B.UpdatePageAfter) UpdatePage();
  };
  if (B.Protocol) {
    RunButton(Sender, Body);
  } else {
    RunHandler(Sender, Body);
  }
}

void TEnginePage::Press(const QString& ButtonName) {
  if (QPushButton* B = Button(ButtonName)) {
    B->click();
    return;
  }
  if (auto* Box = qobject_cast<QCheckBox*>(Control(ButtonName))) Box->click();
}

void TEnginePage::Initialize() {
  if (FSpec.OnInitialize) FSpec.OnInitialize(*this);
}

void TEnginePage::UpdatePage() {
  if (FSpec.OnUpdatePage) FSpec.OnUpdatePage(*this);
}

void TEnginePage::showEvent(QShowEvent* Event) {
  TPage::showEvent(Event);
  if (Event->spontaneous()) return;
  try {
    if (DriverExists()) {
      for (const TOutput& Out : FSpec.OnShow) Output(Out);
    }
    if (FSpec.OnShown) FSpec.OnShown(*this);
  } catch (...) {
    ShowHandlerError(this, std::current_exception());
  }
}
