// Kestrel, the fiscalization wizard: one window that finds a KKT and
// registers, re-registers or closes its fiscal storage.

#include <QApplication>

#include "common/logging/LogFile.h"
#include "common/text/Intl.h"
#include "kestrel/framework/ParamPage.h"
#include "kestrel/framework/fmuMain.h"
#include "tessel/Tessel.h"

int main(int argc, char** argv) {
  varkon::InitCatalogue("kestrel");
  ConfigureLogFromEnvironment();
  QApplication App(argc, argv);
  // The program entry alone decides which driver is installed: the stand-in.
  RegisterTesselDriver();
  RegisterFrameworkPages();
  int Code = 0;
  {
    TfmMain Main(QString::fromStdString(varkon::ExecutableDir()));
    Main.RegisterPages();
    Main.show();
    Main.Start();
    Code = App.exec();
  }
  return Code;
}
