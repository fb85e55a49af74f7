#include "tesselbench/pages/fmuCashDrawer.h"

#include "common/text/Intl.h"
#include "driver/ByName.h"

namespace {

TPageSpec CashDrawerSpec() {
  TPageSpec Spec;
  Spec.ObjectName = QStringLiteral("fmCashDrawer");
  Spec.Caption = N_("Денежный ящик");
  Spec.Controls = {{"edtDrawerNumber", N_("Номер денежного ящика:"), TControlKind::Spin, 0, 0, 255}};
  Spec.Buttons = {{"btnOpenDrawer",
                   N_("Открыть денежный ящик"),
                   {Set(DRIVER_NAME("DrawerNumber"), "edtDrawerNumber", TConv::Int),
                    Call(DRIVER_NAME("OpenDrawer"))}}};
  return Spec;
}

}  // namespace

TfmCashDrawer::TfmCashDrawer(QWidget* Parent) : TEnginePage(CashDrawerSpec(), Parent) {}
