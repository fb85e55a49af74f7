#include "driver/ResultCodes.h"

#include "common/text/Intl.h"

QString NotSupportedDescription() {
  return QString::fromUtf8(_("Метод не поддерживается драйвером"));
}
