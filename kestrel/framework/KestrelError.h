#pragma once
// Errors by which a page refuses to go on. The text of EKestrelError is shown
// to the operator in an error box; EKestrelAbort refuses silently (after a
// "Cancel" answer, or a stopped task).

#include <QString>
#include <stdexcept>

class EKestrelError : public std::runtime_error {
 public:
  explicit EKestrelError(const QString& Message) : std::runtime_error(Message.toStdString()) {}
  QString Message() const { return QString::fromUtf8(what()); }
};

class EKestrelAbort : public EKestrelError {
 public:
  explicit EKestrelAbort(const QString& Message = {}) : EKestrelError(Message) {}
};

// A translated catalogue text as a QString: Text(_("Ошибка")).
inline QString Text(const char* Translated) {
  return QString::fromUtf8(Translated);
}
