#include "tessel/vkkt/Registers.h"

namespace vkkt {

namespace {

const char* const kTypeNames[4] = {"продаж", "покупок", "возвратов продаж", "возвратов покупок"};

}  // namespace

QString CashRegisterName(int N) {
  if (N >= 0 && N < 64)
    return QString("Оборот %1 по отделу %2").arg(kTypeNames[N / 16]).arg(N % 16 + 1);
  if (N >= 64 && N < 68) return QString("Скидки %1").arg(kTypeNames[N - 64]);
  if (N >= 68 && N < 72) return QString("Надбавки %1").arg(kTypeNames[N - 68]);
  if (N >= 72 && N < 136)
    return QString("Оплаты %1 типом %2").arg(kTypeNames[(N - 72) / 16]).arg((N - 72) % 16 + 1);
  if (N >= 136 && N < 140) return QString("Итог чеков %1").arg(kTypeNames[N - 136]);
  if (N >= 140 && N < 164)
    return QString("Оборот %1 по налогу %2").arg(kTypeNames[(N - 140) / 6]).arg((N - 140) % 6 + 1);
  if (N >= 164 && N < 188)
    return QString("Налог %1 по группе %2").arg(kTypeNames[(N - 164) / 6]).arg((N - 164) % 6 + 1);
  if (N >= 188 && N < 192) return QString("Сторно %1").arg(kTypeNames[N - 188]);
  if (N == reg::CashIn) return "Внесения за смену";
  if (N == reg::CashOut) return "Выплаты за смену";
  if (N == reg::ChangeGiven) return "Сдача за смену";
  if (N == reg::CashInDrawer) return "Наличность в кассе";
  if (N >= 245 && N < 249) return QString("Необнуляемая сумма %1").arg(kTypeNames[N - 245]);
  if (N >= kFirstExtendedCashRegister && N <= kLastExtendedCashRegister)
    return QString("Расширенный регистр %1").arg(N);
  return "Резерв";
}

QString OperationRegisterName(int N) {
  if (N >= 0 && N < 64)
    return QString("Количество %1 по отделу %2").arg(kTypeNames[N / 16]).arg(N % 16 + 1);
  if (N >= 64 && N < 68) return QString("Количество чеков %1").arg(kTypeNames[N - 64]);
  if (N >= 68 && N < 72) return QString("Аннулировано чеков %1").arg(kTypeNames[N - 68]);
  if (N >= 72 && N < 76) return QString("Количество скидок %1").arg(kTypeNames[N - 72]);
  if (N >= 76 && N < 80) return QString("Количество надбавок %1").arg(kTypeNames[N - 76]);
  if (N >= 80 && N < 84) return QString("Количество сторно %1").arg(kTypeNames[N - 80]);
  if (N == reg::CashInCount) return "Количество внесений";
  if (N == reg::CashOutCount) return "Количество выплат";
  if (N == 185 || N == 186) return "Количество документов";
  if (N == 196 || N == 197) return "Количество чеков всего";
  if (N == 198 || N == 199) return "Количество отчётов о закрытии смены";
  return "Резерв";
}

}  // namespace vkkt
