#include "BenchFixture.h"

#include <cstdlib>

#include "tesselbench/shell/Driver.h"
#include "tesselbench/shell/Page.h"

TBenchTest::TBenchTest() {
  setenv("XDG_CONFIG_HOME", (FTemp.path() / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (FTemp.path() / "data").c_str(), 1);
  SetDialogs(&FDialogs);
  TDriver::SetRetryPause(nullptr);
  InstallRecorder();
}

TBenchTest::~TBenchTest() {
  FreeDriver();
  SetDialogs(nullptr);
  TPageNotifier::Instance().SetOnChange(nullptr);
}

void TBenchTest::InstallRecorder() {
  auto Recorder = std::make_unique<TRecordingDriver>();
  FRecorder = Recorder.get();
  InstallDriver(std::move(Recorder));
}

TRecordingDriver& TBenchTest::Recorder() {
  if (!DriverExists()) InstallRecorder();
  return *FRecorder;
}

QString TBenchTest::ConfigDir() const {
  return QString::fromStdString((FTemp.path() / "config").string());
}
