#pragma once
// Fixtures of TesselBench's tests: a temporary settings and data folder, a
// recording driver installed as the shared one, and dialogs that record what
// they were asked and answer from a script.

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "support/RecordingDriver.h"
#include "support/TempDir.h"
#include "tesselbench/shell/Dialogs.h"

class TRecordingDialogs : public IDialogs {
 public:
  QStringList Errors;
  QStringList Messages;  // "title|text"
  QStringList Prompts;
  bool InputAnswer = true;
  QString InputValue;
  QString FileName;

  void ShowError(QWidget*, const QString& Text) override { Errors << Text; }
  void ShowMessage(QWidget*, const QString& Title, const QString& Text) override {
    Messages << Title + QStringLiteral("|") + Text;
  }
  bool Ask(QWidget*, const QString&, const QString&) override { return true; }
  bool InputText(QWidget*, const QString& Prompt, QString& Value) override {
    Prompts << Prompt;
    if (InputAnswer) Value = InputValue;
    return InputAnswer;
  }
  QString OpenFileName(QWidget*, const QString&) override { return FileName; }
  QString SaveFileName(QWidget*, const QString&) override { return FileName; }
  void ShowModal(QWidget*) override {}
};

// XDG_CONFIG_HOME and XDG_DATA_HOME in a temporary folder, the recording
// driver as the shared driver, recording dialogs.
class TBenchTest : public ::testing::Test {
 protected:
  TBenchTest();
  ~TBenchTest() override;

  // The recording driver (installs a fresh one when the shared one was freed).
  TRecordingDriver& Recorder();
  void InstallRecorder();
  QString ConfigDir() const;

  TempDir FTemp;
  TRecordingDialogs FDialogs;

 private:
  TRecordingDriver* FRecorder = nullptr;
};
