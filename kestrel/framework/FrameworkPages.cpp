#include "kestrel/framework/ParamPage.h"
#include "kestrel/framework/fmuCheckLAN.h"
#include "kestrel/framework/fmuConnectDevice.h"
#include "kestrel/framework/fmuSelectWorkType.h"

void RegisterFrameworkPages() {
  RegisterPageClass(QStringLiteral("TfmConnectDevice"), [] { return new TfmConnectDevice; });
  RegisterPageClass(QStringLiteral("TfmSelectWorkType"), [] { return new TfmSelectWorkType; });
  RegisterPageClass(QStringLiteral("TfmCheckRNDIS"), [] { return new TfmCheckRNDIS; });
  RegisterPageClass(QStringLiteral("TfmCheckEthernet"), [] { return new TfmCheckEthernet; });
}
