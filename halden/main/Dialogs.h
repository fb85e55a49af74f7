#pragma once
// Every message box and question of Halden goes through IDialogs, so that
// tests answer them and a run without a display never blocks on one.

#include <QPointer>
#include <QWidget>

#include <string>

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual void ShowError(const std::string& Title, const std::string& Text) = 0;
  // A warning question with the buttons Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& Title, const std::string& Text) = 0;
  // The modal about box "О программе" with the program's title and version.
  virtual void ShowAbout(const std::string& Title, const std::string& Version) = 0;
};

// Qt's message boxes over the main window.
class TWidgetDialogs : public IDialogs {
 public:
  void SetParent(QWidget* Parent) { FParent = Parent; }
  void ShowError(const std::string& Title, const std::string& Text) override;
  bool AskYesNo(const std::string& Title, const std::string& Text) override;
  void ShowAbout(const std::string& Title, const std::string& Version) override;

 private:
  QPointer<QWidget> FParent;  // gone with the window
};

// Standard error, for a run without a display: errors are printed, and a
// question is printed with the answer Yes (nobody is there to answer it).
class TConsoleDialogs : public IDialogs {
 public:
  void ShowError(const std::string& Title, const std::string& Text) override;
  bool AskYesNo(const std::string& Title, const std::string& Text) override;
  void ShowAbout(const std::string& Title, const std::string& Version) override;
};
