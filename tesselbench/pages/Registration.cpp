#include "tesselbench/pages/Registration.h"

#include "common/text/Intl.h"
#include "tesselbench/pages/fmuCashDrawer.h"
#include "tesselbench/pages/fmuConnection.h"
#include "tesselbench/pages/fmuLogicDevice.h"

namespace {

template <class T>
std::function<TPage*()> Make() {
  return [] { return new T(); };
}

}  // namespace

// Lines without pages yet are listed with none and do not appear. Lines that
// hold several pages are tabbed pages with fixed object names.
TPageTable BenchPageTable() {
  return {
      {N_("Состояние"), QStringLiteral("fmStatusPages"), {}},
      {N_("ФН сервис"), QStringLiteral("fmFNServicePages"), {}},
      {N_("ФН чеки (ФФД 1.05-1.2)"), QStringLiteral("fmFNReceiptPages"), {}},
      {N_("Чеки (ФФД 1.0)"), QStringLiteral("fmReceiptPages"), {}},
      {N_("Отчеты"), QString(), {}},
      {N_("Печать текста"), QStringLiteral("fmPrintTextPages"), {}},
      {N_("Печать графики"), QStringLiteral("fmPrintGraphicsPages"), {}},
      {N_("ПД"), QStringLiteral("fmSlipPages"), {}},
      {N_("Параметры устройства"), QStringLiteral("fmDeviceParamPages"), {}},
      {N_("Сервис"), QStringLiteral("fmServicePages"), {Make<TfmCashDrawer>()}},
      {N_("ЭКЛЗ"), QStringLiteral("fmEJPages"), {}},
      {N_("Купюроприемник"), QString(), {}},
      {N_("Kintal-K"), QStringLiteral("fmKintalPages"), {}},
      {N_("Модем"), QString(), {}},
      {N_("БД чеков"), QStringLiteral("fmDBPages"), {}},
      {N_("Онлайн платежи"), QString(), {}},
      {N_("Прочее"), QStringLiteral("fmOtherPages"), {Make<TfmLogicDevice>(), Make<TfmConnection>()}},
      {N_("Zelvo"), QString(), {}},
  };
}
