// The tests of Kestrel's pages need a QApplication (offscreen).
#include <gtest/gtest.h>

#include <QApplication>

namespace {
QtMessageHandler Default = nullptr;
// The offscreen platform's note on every top-level window says nothing here.
void QuietOffscreen(QtMsgType Type, const QMessageLogContext& Context, const QString& Message) {
  if (Message.contains(QLatin1String("propagateSizeHints"))) return;
  if (Default) Default(Type, Context, Message);
}
}  // namespace

int main(int argc, char** argv) {
  Default = qInstallMessageHandler(QuietOffscreen);
  // Also when CTest lists the tests, which it does without the test environment.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication App(argc, argv);
  return RUN_ALL_TESTS();
}
