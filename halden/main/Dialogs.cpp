#include "halden/main/Dialogs.h"

#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <string>

#include "common/text/Intl.h"
#include "halden/main/fmuAbout.h"

void TWidgetDialogs::ShowError(const std::string& Title, const std::string& Text) {
  QMessageBox::critical(FParent, QString::fromStdString(Title), QString::fromStdString(Text));
}

bool TWidgetDialogs::AskYesNo(const std::string& Title, const std::string& Text) {
  return QMessageBox::warning(FParent, QString::fromStdString(Title), QString::fromStdString(Text),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) == QMessageBox::Yes;
}

void TWidgetDialogs::ShowAbout(const std::string& Title, const std::string& Version) {
  TfmAbout about(Title, Version, FParent);
  about.exec();
}

namespace {
// A text as one line or more on the console, without the carriage returns
// that message box texts carry.
std::string ConsoleText(std::string Text) {
  std::erase(Text, '\r');
  return Text;
}
}  // namespace

void TConsoleDialogs::ShowError(const std::string& Title, const std::string& Text) {
  std::fprintf(stderr, "%s: %s\n", Title.c_str(), ConsoleText(Text).c_str());
  std::fflush(stderr);
}

bool TConsoleDialogs::AskYesNo(const std::string& Title, const std::string& Text) {
  std::fprintf(stderr, "%s: %s %s\n", Title.c_str(), ConsoleText(Text).c_str(), _("(ответ: да)"));
  std::fflush(stderr);
  return true;
}

void TConsoleDialogs::ShowAbout(const std::string& Title, const std::string& Version) {
  std::fprintf(stderr, "%s\n%s\n", Title.c_str(), Version.c_str());
  std::fflush(stderr);
}
