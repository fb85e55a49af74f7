#include "tessel/vkkt/ModelInfo.h"

#include <algorithm>

namespace vkkt {

namespace {

constexpr std::int64_t I(std::int64_t V) {
  return V;
}

}  // namespace

// Parameter numbers are what the programs ask for; 28 is false, so the
// programs use the standard table layout (tables 17 and 18 for the FN data).
// 72, 73 and 75 name the FN registration, OFD and automatic-device tables.
const std::vector<TModelParam>& ModelParams() {
  static const std::vector<TModelParam> Params = {
      {1, "Датчик журнальной ленты", false},
      {2, "Оптический датчик журнальной ленты", false},
      {3, "Рычаг термоголовки журнальной ленты", false},
      {4, "Датчик чековой ленты", true},
      {5, "Оптический датчик чековой ленты", true},
      {6, "Рычаг термоголовки чековой ленты", true},
      {7, "Верхний датчик подкладного документа", false},
      {8, "Нижний датчик подкладного документа", false},
      {9, "Датчик крышки", true},
      {10, "Датчик переполнения ЭКЛЗ", false},
      {11, "Расчёт налогов", true},
      {12, "Поле расчёта налогов", I(0)},
      {13, "Денежный ящик как презентер", false},
      {14, "Датчик денежного ящика", true},
      {15, "Датчик бумаги на входе презентера", false},
      {16, "Датчик бумаги на выходе презентера", false},
      {17, "Презентер", false},
      {18, "Команды презентера", false},
      {19, "Купюроприёмник", false},
      {20, "Подкладной документ", false},
      {21, "Нефискальный документ", true},
      {22, "Журнальная лента", false},
      {23, "Налоговая клавиатура", false},
      {24, "Ширина шрифта 1", I(48)},
      {25, "Ширина шрифта 2", I(24)},
      {26, "Обмен байтов в строке графики", false},
      {27, "Первая строка графики", I(1)},
      {28, "Альтернативная раскладка таблиц (CashCore)", false},
      {29, "Количество цифр ИНН", I(12)},
      {30, "Количество цифр РНМ", I(16)},
      {31, "Тип сторно", I(0)},
      {32, "Идентификатор модели", I(47)},
      {33, "Тип модели", I(0)},
      {34, "Электронный журнал (ЭКЛЗ)", false},
      {35, "Отрезчик", true},
      {36, "Пароль налогового инспектора по умолчанию", I(0)},
      {37, "Пароль системного администратора по умолчанию", I(30)},
      {38, "Количество цифр длинного РНМ", I(16)},
      {39, "Количество цифр длинного заводского номера", I(16)},
      {40, "Блокировка по паролю налогового инспектора", false},
      {41, "Ведущие нули ИНН", true},
      {42, "Ведущие нули РНМ", true},
      {43, "Фискальная память", false},
      {44, "Альтернативный протокол", false},
      {45, "Перенос нефискальной строки", true},
      {46, "Перенос нефискальной строки шрифтом", true},
      {47, "Перенос фискальной строки", true},
      {48, "Перенос фискальной строки шрифтом", true},
      {49, "Старший кассир", false},
      {50, "Результат последней печати", true},
      {51, "Загрузка графики блоками", true},
      {52, "Описания ошибок", true},
      {53, "Максимальная длина команды", I(255)},
      {54, "Флаги печати графики", true},
      {55, "Максимальная ширина линии, байт", I(72)},
      {56, "Печать графики с масштабированием", true},
      {57, "СКНО", false},
      {71, "Фискальный накопитель", true},
      {72, "Таблица регистрации ФН", I(18)},
      {73, "Таблица параметров ОФД", I(19)},
      {74, "Таблица статуса обмена с ОФД", I(20)},
      {75, "Таблица автоматического устройства", I(24)},
  };
  return Params;
}

const TModelParam* FindModelParam(int Number) {
  const auto& Params = ModelParams();
  const auto It = std::find_if(Params.begin(), Params.end(),
                               [Number](const TModelParam& P) { return P.Number == Number; });
  return It == Params.end() ? nullptr : &*It;
}

const TFontMetrics* FontMetrics(int Font) {
  static const TFontMetrics Fonts[kFontCount] = {
      {576, 12, 24}, {576, 24, 45}, {576, 12, 24}, {576, 24, 48},
      {576, 9, 17},  {576, 9, 17},  {576, 18, 34},
  };
  if (Font < 1 || Font > kFontCount) return nullptr;
  return &Fonts[Font - 1];
}

int LineWidth(int Font) {
  const TFontMetrics* M = FontMetrics(Font);
  if (!M) M = FontMetrics(1);
  return M->PrintWidth / M->CharWidth;
}

}  // namespace vkkt
