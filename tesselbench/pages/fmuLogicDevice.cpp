#include "tesselbench/pages/fmuLogicDevice.h"

#include "common/text/Intl.h"
#include "driver/ByName.h"
#include "tesselbench/pages/Lists.h"
#include "tesselbench/shell/Dialogs.h"

namespace {

std::vector<TStep> Params() {
  return {Set(DRIVER_NAME("LDName"), "edtLDName", TConv::Text),
          Set(DRIVER_NAME("LDBaudrate"), "cbLDBaudrate", TConv::Index),
          Set(DRIVER_NAME("LDComNumber"), "cbLDComNumber", TConv::IndexPlus1),
          Set(DRIVER_NAME("LDComputerName"), "edtLDComputerName", TConv::Text),
          Set(DRIVER_NAME("LDTimeout"), "edtLDTimeout", TConv::Int)};
}

std::vector<TOutput> ReadBack() {
  return {{"edtLDName", DRIVER_NAME("LDName"), TConv::Text},
          {"edtLDNumber", DRIVER_NAME("LDNumber"), TConv::Int},
          {"edtLDIndex", DRIVER_NAME("LDIndex"), TConv::Int},
          {"edtLDCount", DRIVER_NAME("LDCount"), TConv::Int},
          {"cbLDComNumber", DRIVER_NAME("LDComNumber"), TConv::IndexPlus1},
          {"cbLDBaudrate", DRIVER_NAME("LDBaudrate"), TConv::Index},
          {"edtLDComputerName", DRIVER_NAME("LDComputerName"), TConv::Text},
          {"edtLDTimeout", DRIVER_NAME("LDTimeout"), TConv::Int}};
}

std::vector<TStep> Join(std::vector<TStep> A, const std::vector<TStep>& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

TPageSpec LogicDeviceSpec() {
  const TStep Number = Set(DRIVER_NAME("LDNumber"), "edtLDNumber", TConv::Int);
  TPageSpec Spec;
  Spec.ObjectName = QStringLiteral("fmLogicDevice");
  Spec.Caption = N_("ЛУ");
  Spec.Controls = {
      {"edtLDName", N_("Название:"), TControlKind::Edit, QString()},
      {"edtLDNumber", N_("Номер:"), TControlKind::Spin, 0},
      {"edtLDIndex", N_("Индекс:"), TControlKind::Spin, 0},
      {"edtLDCount", N_("Количество:"), TControlKind::ReadOnlyEdit, QString()},
      {"cbLDComNumber", N_("СOM порт:"), TControlKind::Combo, 0, 0, 0, ComPortItems(), {}, true,
       false},
      {"cbLDBaudrate", N_("Скорость:"), TControlKind::Combo, 0, 0, 0, BaudRateItems(), {}, true,
       false},
      {"edtLDComputerName", N_("Компьютер:"), TControlKind::Edit, QString()},
      {"edtLDTimeout", N_("Таймаут:"), TControlKind::Spin, 100},
  };
  Spec.Buttons = {
      {"btnAddLD", N_("Добавить ЛУ"), Join(Params(), {Call(DRIVER_NAME("AddLD"))}), ReadBack()},
      {"btnDeleteLD", N_("Удалить ЛУ"), {Number, Call(DRIVER_NAME("DeleteLD"))}, ReadBack()},
      {"btnGetCountLD", N_("Количество ЛУ"), {Call(DRIVER_NAME("GetCountLD"))}, ReadBack()},
      {"btnEnumLD",
       N_("Перечислить ЛУ"),
       {Set(DRIVER_NAME("LDIndex"), "edtLDIndex", TConv::Int), Call(DRIVER_NAME("EnumLD"))},
       ReadBack()},
      {"btnSetParamLD", N_("Установить параметры ЛУ"),
       Join(Join({Number}, Params()), {Call(DRIVER_NAME("SetParamLD"))})},
      {"btnGetParamLD", N_("Получить параметры ЛУ"), {Number, Call(DRIVER_NAME("GetParamLD"))},
       ReadBack()},
      {"btnSetActiveLD", N_("Установить активное ЛУ"), {Number, Call(DRIVER_NAME("SetActiveLD"))},
       ReadBack()},
      {"btnGetActiveLD", N_("Получить активное ЛУ"), {Call(DRIVER_NAME("GetActiveLD"))},
       ReadBack()},
      // No network browser on Linux: the computer's name is typed.
      {"btnLDComputerName", "...", {}, {}, {}, false,
       [](TEnginePage& Page) {
         QString Name = Page.Text(QStringLiteral("edtLDComputerName"));
         if (Dialogs().InputText(&Page, QString::fromUtf8(_("Укажите имя компьютера")), Name)) {
           Page.SetText(QStringLiteral("edtLDComputerName"), Name);
         }
       },
       false, false},
  };
  return Spec;
}

}  // namespace

TfmLogicDevice::TfmLogicDevice(QWidget* Parent) : TEnginePage(LogicDeviceSpec(), Parent) {}
