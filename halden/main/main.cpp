// Halden, the KKT server: shares the serial ports with KKTs among clients on
// this and other computers, over TCP.
//
//   halden [/a] [/r] [/p<seconds>] [/t<port>]
//
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY) it runs without a
// window on Qt's offscreen platform, prints its messages on standard error
// and ends cleanly on SIGTERM and SIGINT.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/logging/LogFile.h"
#include "common/text/Intl.h"
#include "halden/main/Dialogs.h"
#include "halden/main/MainView.h"
#include "halden/main/TcpListener.h"
#include "halden/main/fmuMain.h"
#include "halden/server/Settings.h"

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the message loop, so that everything is released
// as at a normal end: connections closed, objects released, ports unlocked
// and closed.
void CatchEndSignals(QObject* Parent) {
  if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, Parent);
  QObject::connect(notifier, &QSocketNotifier::activated, Parent, [] {
    char byte;
    while (read(gSignalPipe[0], &byte, 1) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void PrintLines(const std::vector<std::string>& Lines) {
  for (const std::string& line : Lines) std::fprintf(stderr, "Halden: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  varkon::InitCatalogue("halden");
  ConfigureLogFromEnvironment();

  const bool display = HasDisplay();
  if (!display) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::fprintf(stderr, "Halden: %s\n",
                 _("нет дисплея (DISPLAY, WAYLAND_DISPLAY): работаю без окна на платформе "
                   "offscreen, сообщения выводятся "
                   "сюда"));
    std::fflush(stderr);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("Halden");
  QApplication::setApplicationDisplayName("Halden");
  QApplication::setOrganizationName("Varkon");
  QApplication::setQuitOnLastWindowClosed(false);
  CatchEndSignals(&app);

  const TWindowBehaviour behaviour =
      BehaviourFor(display, display && QSystemTrayIcon::isSystemTrayAvailable());
  TWidgetDialogs widgetDialogs;
  TConsoleDialogs consoleDialogs;
  IDialogs& dialogs = behaviour.Headless ? static_cast<IDialogs&>(consoleDialogs) : widgetDialogs;

  std::vector<std::string> args;
  const QStringList arguments = QCoreApplication::arguments();
  for (int i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());

  int status = 0;
  try {
    const TSettingsStore store;
    const TStartSettings start = ReadStartSettings(args, store);
    PrintLines(start.Problems);

    THaldenListener listener(
        [&](const std::string& Question) { return dialogs.AskYesNo("Halden", Question); });
    {
      TfmMain window(dialogs, listener, store, behaviour);
      widgetDialogs.SetParent(&window);
      const TApplyResult result = window.Start(start);
      if (behaviour.Headless) {
        if (result.TCPFailed) return 1;  // nothing could reach this Halden
        const THaldenSettings& s = window.Settings().Settings();
        if (s.TCPEnabled) {
          std::fprintf(stderr, "Halden: %s %d\n", _("TCP сервер слушает порт"), s.TCPPort);
        } else {
          std::fprintf(stderr, "Halden: %s\n", _("TCP выключен: клиенты не смогут подключиться"));
        }
        std::fflush(stderr);
      }
      status = app.exec();
      widgetDialogs.SetParent(nullptr);
    }
    // The listener ends after the window: its connections release their
    // objects, which unlocks and closes their ports.
  } catch (const std::exception& E) {
    dialogs.ShowError("Halden", E.what());
    status = 1;
  }
  return status;
}
