#pragma once
// Saving and loading the values of every control under a form.
//
// A control's value name is the dot-joined object names of the form, of the
// pages (TPage) it lies in, and of the control itself
// ("fmMain.fmOtherPages.fmConnection.edtTimeout"); the containers in between
// (panels, splitters, a tab widget and its stacked widget) are left out. Controls whose "tag" property is
// 1000 and read-only edits are not persisted. Kinds: spin box -> integer;
// line edit and plain text edit -> text cut to 4096 characters; combo box ->
// index; check box and radio button -> Boolean; date-time edit -> date-time.

#include <QString>

class QSettings;
class QWidget;

inline constexpr int kTagNotPersisted = 1000;
inline constexpr int kMaxPersistedText = 4096;

// Marks a control as not persisted (tag 1000).
void SetNotPersisted(QWidget* Control);

QString PersistName(const QWidget* Control, const QWidget* Root);

// Writes every persisted control under Root into the current group.
void SaveControls(QWidget* Root, QSettings& Settings);

// Sets every combo box under Root to its first item, then gives every
// persisted control whose value exists that value back. A value that does
// not convert to the control's kind, and a combo index outside its items,
// leave the control at its default (the first item for a combo box).
void LoadControls(QWidget* Root, QSettings& Settings);
