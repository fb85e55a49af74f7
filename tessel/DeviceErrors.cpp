#include "tessel/DeviceErrors.h"

#include <iterator>

#include "common/text/Intl.h"

namespace tessel::err {

namespace {

struct TErrorText {
  int Code;
  const char* Text;
};

constexpr TErrorText kTexts[] = {
    {kNone, N_("Ошибок нет")},
    {kBadFormat, N_("Неверный формат команды")},
    {kBadParameter, N_("Неверное значение параметра")},
    {kBadPassword, N_("Неверный пароль")},
    {kBadMode, N_("Команда не поддерживается в данном режиме")},
    {kEndOfData, N_("Данные закончились")},
    {kShiftOpen, N_("Смена открыта, операция невозможна")},
    {kShiftClosed, N_("Смена не открыта, операция невозможна")},
    {kShiftOver24h, N_("Смена превысила 24 часа")},
    {kReceiptOpen, N_("Открыт чек, операция невозможна")},
    {kNoReceipt, N_("Чек не открыт, операция невозможна")},
    {kPaymentShort, N_("Сумма оплаты меньше итога чека")},
    {kCashShort, N_("Недостаточно наличности в кассе")},
    {kRegisterOverflow, N_("Переполнение денежного регистра")},
    {kDateBeforeLast, N_("Дата раньше даты последнего документа")},
    {kDateNotConfirmed, N_("Ожидается подтверждение даты")},
    {kNoPaper, N_("Нет бумаги")},
    {kNoSuchRegister, N_("Нет такого регистра")},
    {kCommandNotSupported, N_("Команда не поддерживается устройством")},
    {kPrintingPending, N_("Ожидание команды продолжения печати")},
    {kPrinting, N_("Идёт печать предыдущей команды")},
    {kFieldMissing, N_("Нет такой таблицы или поля")},
};

constexpr int kCodes[] = {kNone,         kBadFormat,        kBadParameter,        kBadPassword,
                          kBadMode,      kEndOfData,        kShiftOpen,           kShiftClosed,
                          kShiftOver24h, kReceiptOpen,      kNoReceipt,           kPaymentShort,
                          kCashShort,    kRegisterOverflow, kDateBeforeLast,      kDateNotConfirmed,
                          kNoPaper,      kNoSuchRegister,   kCommandNotSupported, kPrintingPending,
                          kPrinting,     kFieldMissing};
static_assert(std::size(kCodes) == std::size(kTexts));

}  // namespace

QString DeviceErrorDescription(int Code) {
  for (const TErrorText& Entry : kTexts) {
    if (Entry.Code == Code) return QString::fromUtf8(_(Entry.Text));
  }
  return QString::fromUtf8(_("Неизвестная ошибка устройства"));
}

std::span<const int> KnownDeviceErrors() {
  return kCodes;
}

}  // namespace tessel::err
