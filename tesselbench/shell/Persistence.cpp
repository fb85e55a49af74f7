#include "tesselbench/shell/Persistence.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStringList>

namespace {

enum class TKind { None, Spin, Edit, Memo, Combo, Check, DateTime };

// Qt builds some controls out of others (a spin box holds a line edit, an
// editable combo box too); only the outer control is persisted.
bool IsInnerPart(const QWidget* W) {
  const QWidget* Parent = W->parentWidget();
  return Parent && (qobject_cast<const QAbstractSpinBox*>(Parent) ||
                    qobject_cast<const QComboBox*>(Parent));
}

TKind KindOf(const QWidget* W) {
  if (W->property("tag").toInt() == kTagNotPersisted || IsInnerPart(W)) return TKind::None;
  if (qobject_cast<const QDateTimeEdit*>(W)) return TKind::DateTime;
  if (qobject_cast<const QSpinBox*>(W)) return TKind::Spin;
  if (auto* E = qobject_cast<const QLineEdit*>(W)) return E->isReadOnly() ? TKind::None : TKind::Edit;
  if (auto* M = qobject_cast<const QPlainTextEdit*>(W)) {
    return M->isReadOnly() ? TKind::None : TKind::Memo;
  }
  if (qobject_cast<const QComboBox*>(W)) return TKind::Combo;
  if (qobject_cast<const QCheckBox*>(W) || qobject_cast<const QRadioButton*>(W)) {
    return TKind::Check;
  }
  return TKind::None;
}

std::optional<int> StrictInt(const QVariant& V) {
  bool Ok = false;
  const int Value = V.toString().toInt(&Ok);
  if (!Ok) return std::nullopt;
  return Value;
}

std::optional<bool> StrictBool(const QVariant& V) {
  if (V.typeId() == QMetaType::Bool) return V.toBool();
  const QString S = V.toString();
  if (S == QStringLiteral("true")) return true;
  if (S == QStringLiteral("false")) return false;
  return std::nullopt;
}

}  // namespace

void SetNotPersisted(QWidget* Control) { Control->setProperty("tag", kTagNotPersisted); }

QString PersistName(const QWidget* Control, const QWidget* Root) {
  QStringList Names{Control->objectName()};
  for (const QObject* O = Control->parent(); O; O = O->parent()) {
    // Only the form and the pages make up the name: containers in between
    // (panels, splitters, a tab widget and its stacked widget) do not, so a
    // control keeps its name when the layout around it changes.
    if (O == Root || O->inherits("TPage")) Names.prepend(O->objectName());
    if (O == Root) break;
  }
  Names.removeAll(QString());
  return Names.join(QLatin1Char('.'));
}

void SaveControls(QWidget* Root, QSettings& Settings) {
  for (QWidget* W : Root->findChildren<QWidget*>()) {
    const TKind Kind = KindOf(W);
    if (Kind == TKind::None || W->objectName().isEmpty()) continue;
    const QString Name = PersistName(W, Root);
    switch (Kind) {
      case TKind::Spin:
        Settings.setValue(Name, static_cast<QSpinBox*>(W)->value());
        break;
      case TKind::Edit:
        Settings.setValue(Name, static_cast<QLineEdit*>(W)->text().left(kMaxPersistedText));
        break;
      case TKind::Memo:
        Settings.setValue(Name,
                          static_cast<QPlainTextEdit*>(W)->toPlainText().left(kMaxPersistedText));
        break;
      case TKind::Combo:
        Settings.setValue(Name, static_cast<QComboBox*>(W)->currentIndex());
        break;
      case TKind::Check:
        Settings.setValue(Name, static_cast<QAbstractButton*>(W)->isChecked());
        break;
      case TKind::DateTime:
        Settings.setValue(Name, static_cast<QDateTimeEdit*>(W)->dateTime());
        break;
      case TKind::None:
        break;
    }
  }
}

void LoadControls(QWidget* Root, QSettings& Settings) {
  const auto All = Root->findChildren<QWidget*>();
  for (QWidget* W : All) {
    if (auto* Combo = qobject_cast<QComboBox*>(W); Combo && Combo->count() > 0) {
      Combo->setCurrentIndex(0);
    }
  }
  for (QWidget* W : All) {
    const TKind Kind = KindOf(W);
    if (Kind == TKind::None || W->objectName().isEmpty()) continue;
    const QString Name = PersistName(W, Root);
    if (!Settings.contains(Name)) continue;
    const QVariant V = Settings.value(Name);
    switch (Kind) {
      case TKind::Spin:
        if (auto I = StrictInt(V)) static_cast<QSpinBox*>(W)->setValue(*I);
        break;
      case TKind::Edit:
        if (V.canConvert<QString>()) static_cast<QLineEdit*>(W)->setText(V.toString());
        break;
      case TKind::Memo:
        if (V.canConvert<QString>()) static_cast<QPlainTextEdit*>(W)->setPlainText(V.toString());
        break;
      case TKind::Combo: {
        auto* Combo = static_cast<QComboBox*>(W);
        const auto I = StrictInt(V);
        Combo->setCurrentIndex(I && *I >= 0 && *I < Combo->count() ? *I : 0);
        break;
      }
      case TKind::Check:
        if (auto B = StrictBool(V)) static_cast<QAbstractButton*>(W)->setChecked(*B);
        break;
      case TKind::DateTime:
        if (V.typeId() == QMetaType::QDateTime && V.toDateTime().isValid()) {
          static_cast<QDateTimeEdit*>(W)->setDateTime(V.toDateTime());
        }
        break;
      case TKind::None:
        break;
    }
  }
}
