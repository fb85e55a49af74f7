#pragma once
// The page engine: a page described as data. The engine builds the widgets,
// names them (so that persistence finds them), and runs every button through
// the page-button protocol: inputs converted and checked first (a bad field
// stops the button before any driver call), then properties set and methods
// called in order (each code checked), outputs copied back on success, the
// named controls cleared on failure. docs/page-engine.md describes the schema.

#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <vector>

#include "tesselbench/shell/Page.h"

class QGridLayout;
class QLabel;
class QPushButton;

enum class TControlKind {
  Edit,          // line edit; Default is its text
  ReadOnlyEdit,  // line edit the page writes (outputs); not persisted
  Memo,          // plain text edit
  Spin,          // spin box; Default, Min, Max
  Combo,         // combo box; Items (message ids), Codes, Default index
  Check,         // check box; Caption is its text, Default its state
};

struct TControlSpec {
  QString Name;             // object name, fixed: "edtTimeout"
  const char* Caption;      // message id of the label ("Таймаут:"), or of the check box
  TControlKind Kind;
  QVariant Default = {};
  int Min = 0;
  int Max = 2147483647;
  std::vector<QString> Items = {};  // message ids, translated when shown
  std::vector<int> Codes = {};      // item codes; empty: the index is the code
  bool Persisted = true;            // false: tag 1000, never saved nor loaded
  bool TranslateItems = true;       // false for "COM1" and other literal items
};

// How a control's value becomes a property value (inputs), and back (outputs).
enum class TConv {
  Text,        // the text as it stands
  Int,         // a spin box's value, an edit's text as an integer
  Bool,        // a check box
  Index,       // a combo box's item index
  IndexPlus1,  // a combo box's index + 1 (COM port lists: index 0 is COM1)
  Code,        // a combo box's item code
  Summ,        // GetSumm of the text, under FieldName
  Double,      // the text as a floating-point number (the system's number format)
  TcpPortOfCode,  // input: the port a one-byte code stands for; output: the code of the port
  Amount,      // output only: AmountToStr of a money value
};

struct TStep {
  enum class TKind { Set, SetConst, Call, CallUnchecked, CheckLength };
  TKind Kind;
  const char* Name = nullptr;  // property or method (catalogue name)
  QString Control = {};
  TConv Conv = TConv::Text;
  QVariant Value = {};
  QString FieldName = {};      // for Summ and CheckLength
};

// Step builders.
TStep Set(const char* Property, QString Control, TConv Conv, QString FieldName = {});
TStep SetConst(const char* Property, QVariant Value);
TStep Call(const char* Method);
TStep CallUnchecked(const char* Method);
TStep CheckLength(QString Control, QString FieldName);

struct TOutput {
  QString Control;
  const char* Property;
  TConv Conv = TConv::Text;
};

class TEnginePage;

struct TButtonSpec {
  QString Name;          // object name: "btnConnect"; for OnControl the control's name
  const char* Caption;   // message id
  std::vector<TStep> Steps = {};
  std::vector<TOutput> Outputs = {};         // after success
  std::vector<QString> ClearOnFailure = {};  // after a failing code
  bool UpdatePageAfter = false;              // UpdatePage whatever happened
  // Code of its own, run inside the protocol after Steps (hand-written
  // algorithms); it may call RunSteps, Check and the page's accessors.
  std::function<void(TEnginePage&)> Custom = nullptr;
  bool OnControl = false;  // bound to a user click of the named check box
  bool Protocol = true;    // false: no driver protocol (dialogs)
};

struct TPageSpec {
  QString ObjectName;    // fixed: "fmConnection"
  const char* Caption;   // message id of the tab or list caption
  std::vector<TControlSpec> Controls;
  std::vector<TButtonSpec> Buttons;
  int ButtonColumns = 1;
  // Read into the controls each time the page comes into view, when the
  // driver exists.
  std::vector<TOutput> OnShow = {};
  std::function<void(TEnginePage&)> OnShown = nullptr;
  std::function<void(TEnginePage&)> OnInitialize = nullptr;
  std::function<void(TEnginePage&)> OnUpdatePage = nullptr;
  // A control changed by the user (not by loading); the control's name.
  std::function<void(TEnginePage&, const QString&)> OnUserChange = nullptr;
};

class TEnginePage : public TPage {
  Q_OBJECT
 public:
  explicit TEnginePage(TPageSpec Spec, QWidget* Parent = nullptr);

  const TPageSpec& Spec() const { return FSpec; }
  QWidget* Control(const QString& Name) const;
  QPushButton* Button(const QString& Name) const;
  QLabel* Label(const QString& ControlName) const;

  QString Text(const QString& Name) const;
  void SetText(const QString& Name, const QString& Text);
  int IntValue(const QString& Name) const;
  bool Checked(const QString& Name) const;
  int Index(const QString& Name) const;
  int Code(const QString& Name) const;

  // The value of a control through a conversion (may raise EUserError).
  QVariant Input(const QString& Control, TConv Conv, const QString& FieldName) const;
  // Writes a property value into a control through a conversion.
  void Output(const TOutput& Out);
  // Runs steps: all conversions and checks first, then sets and calls in
  // order. Returns the code of the last call (checked calls abort silently).
  int RunSteps(const std::vector<TStep>& Steps);

  // Presses a button as the user does (tests, and pages that chain buttons).
  void Press(const QString& ButtonName);

  void Initialize() override;
  void UpdatePage() override;

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  void Build();
  void RunButtonSpec(const TButtonSpec& Button, const QObject* Sender);

  TPageSpec FSpec;
  std::map<QString, QWidget*> FControls;
  std::map<QString, QLabel*> FLabels;
  std::map<QString, QPushButton*> FButtons;
};
