// TesselBench: the driver test bench. Only this entry creates the driver
// implementation (it registers the factory); everything else reaches the
// driver through the shell's Driver().

#include <QApplication>

#include "common/text/Intl.h"
#include "tesselbench/pages/Registration.h"
#include "tesselbench/shell/fmuMain.h"

int main(int argc, char* argv[]) {
  QApplication App(argc, argv);
  App.setApplicationName(QStringLiteral("Varkon: Driver test"));
  varkon::InitCatalogue("TesselBench");
  int Code = 0;
  {
    TfmMain Window(BenchPageTable());
    Window.show();
    Code = App.exec();
  }
  return Code;
}
