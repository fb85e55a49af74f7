#include "kestrel/framework/PageGraph.h"

#include <QStringList>

#include "common/text/Intl.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/KestrelError.h"

const std::vector<TPageInfo>& PageOrder() {
  static const std::vector<TPageInfo> Order = {
      {"TfmConnectDevice", N_("Подключите устройство")},
      {"TfmSearchDevice", N_("Поиск устройств")},
      {"TfmSelectWorkType", N_("Выберите тип работы")},
      {"TfmSelectClientType", N_("Выберите тип работы")},
      {"TfmEnterSerial", N_("Введите заводской номер")},
      {"TfmOFDParams", N_("Настройки ОФД")},
      {"TfmUserParams", N_("Настройки места установки ККТ")},
      {"TfmWorkMode", N_("Тип налогообложения и режим работы ККТ")},
      {"TfmINN", N_("Введите ИНН и РНМ ККТ")},
      {"TfmFiscalizationBefore", N_("Регистрация ККТ")},
      {"TfmFiscalizationInfo", N_("Печать чека о фискализации")},
      {"TfmSelectNetType", N_("Выберите тип подключения к ОФД")},
      {"TfmEthernetParams", N_("Параметры Ethernet")},
      {"TfmRNDISParams", N_("Настройки подключения RNDIS")},
      {"TfmWiFiParams", N_("Настройки подключения WiFi")},
      {"TfmCheckRNDIS", N_("Проверка связи по RNDIS")},
      {"TfmOFDExchangeState", N_("Проверка отправки данных в ОФД")},
      {"TfmFinalMessage", N_("Завершение")},
      {"TfmSelectPortType", N_("Выберите тип подключения к ККТ")},
      {"TfmTCPParams", N_("Параметры подключения по TCP")},
      {"TfmCheckEthernet", N_("Проверка связи по Ethernet")},
      {"TfmBeforeCloseFN", N_("Закрытие архива ФН")},
      {"TfmFFD", N_("Версия ФФД")},
      {"TfmCloseFN", N_("Закрытие архива ФН")},
      {"TfmKKTParamsX5", N_("Сохранить параметры ФР (X5)")},
      {"TfmOpenRegParamsX5", N_("Открыть файл с парметрами (X5)")},
      {"TFmCheckStatusBeforeCloseFN", N_("Проверка состояния")},
      {"TfmRegParamsX5", N_("Параметры регистрации (X5)")},
      {"TfmCalculationStateReport", N_("Отчет о текущем состоянии расчетов")},
      {"TFmCheckStatusBeforeRegistration", N_("Проверка состояния")},
      {"TFmCheckStatusBeforeReRegistration", N_("Проверка состояния")},
  };
  return Order;
}

QString PageCaption(const QString& ClassName) {
  for (const TPageInfo& Info : PageOrder())
    if (ClassName == QLatin1String(Info.ClassName)) return Text(_(Info.Caption));
  return {};
}

const std::vector<TPageEdge>& PageGraph() {
  static const std::vector<TPageEdge> Graph = {
      {"TfmConnectDevice", "", "TfmSelectPortType"},
      {"TfmSelectPortType", "COM-порт", "TfmSearchDevice"},
      {"TfmSelectPortType", "TCP (Ethernet, WiFi, RNDIS)", "TfmTCPParams"},
      {"TfmSearchDevice", "", "TfmSelectWorkType"},
      {"TfmTCPParams", "", "TfmSelectWorkType"},
      {"TfmSelectWorkType", "0", "TFmCheckStatusBeforeRegistration"},
      {"TfmSelectWorkType", "1,2 X5Mode", "TfmKKTParamsX5"},
      {"TfmSelectWorkType", "1,2 !X5Mode", "TFmCheckStatusBeforeReRegistration"},
      {"TfmSelectWorkType", "3", "TfmCalculationStateReport"},
      {"TfmSelectWorkType", "4", "TFmCheckStatusBeforeCloseFN"},
      {"TfmSelectWorkType", "5", "TfmOFDParams"},
      {"TFmCheckStatusBeforeRegistration", "", "TfmEnterSerial"},
      {"TfmEnterSerial", "X5Mode", "TfmKKTParamsX5"},
      {"TfmEnterSerial", "!X5Mode", "TfmSelectClientType"},
      {"TFmCheckStatusBeforeReRegistration", "", "TfmSelectClientType"},
      {"TfmSelectClientType", "", "TfmFFD"},
      {"TfmFFD", "", "TfmOFDParams"},
      {"TfmOFDParams", "IsOFDSettingMode", "TfmSelectNetType"},
      {"TfmOFDParams", "!IsOFDSettingMode", "TfmUserParams"},
      {"TfmUserParams", "", "TfmINN"},
      {"TfmINN", "", "TfmWorkMode"},
      {"TfmWorkMode", "", "TfmFiscalizationBefore"},
      {"TfmKKTParamsX5", "saved", "TfmOpenRegParamsX5"},
      {"TfmOpenRegParamsX5", "read", "TfmRegParamsX5"},
      {"TfmRegParamsX5", "", "TfmFiscalizationBefore"},
      {"TfmFiscalizationBefore", "registered", "TfmFiscalizationInfo"},
      {"TfmFiscalizationInfo", "", "TfmFinalMessage"},
      {"TfmCalculationStateReport", "", "TfmSelectWorkType"},
      {"TFmCheckStatusBeforeCloseFN", "", "TfmBeforeCloseFN"},
      {"TfmBeforeCloseFN", "", "TfmCloseFN"},
      {"TfmCloseFN", "", "TfmSelectWorkType"},
      {"TfmSelectNetType", "Ethernet", "TfmEthernetParams"},
      {"TfmSelectNetType", "WiFi", "TfmWiFiParams"},
      {"TfmSelectNetType", "RNDIS", "TfmRNDISParams"},
      {"TfmEthernetParams", "", "TfmCheckEthernet"},
      {"TfmRNDISParams", "", "TfmCheckRNDIS"},
      {"TfmWiFiParams", "", ""},
      {"TfmCheckEthernet", "", "TfmOFDExchangeState"},
      {"TfmCheckRNDIS", "", "TfmOFDExchangeState"},
      {"TfmOFDExchangeState", "", "TfmFinalMessage"},
      {"TfmFinalMessage", "", "TfmConnectDevice"},
  };
  return Graph;
}

QStringList WorkTypeItems(bool OFDEnabled) {
  QStringList Items = {
      Text(_("Регистрация новой ККТ")), Text(_("Перерегистрация ККТ без замены ФН")),
      Text(_("Перерегистрация ККТ с заменой ФН")), Text(_("Отчет о текущем состоянии расчетов")),
      Text(_("Закрытие архива ФН"))};
  if (OFDEnabled) Items << Text(_("Настройка связи с ОФД"));
  return Items;
}

bool ApplyWorkType(TController& C, int Index) {
  C.IsOFDSettingMode = false;
  const QString ReRegistration = C.X5Mode ? QStringLiteral("TfmKKTParamsX5")
                                          : QStringLiteral("TFmCheckStatusBeforeReRegistration");
  switch (Index) {
    case 0:
      C.RegParams.FirstTime = true;
      C.NextPageClass = QStringLiteral("TFmCheckStatusBeforeRegistration");
      return true;
    case 1:
    case 2:
      C.RegParams.FirstTime = false;
      C.RegParams.NewFN = Index == 2;
      C.NextPageClass = ReRegistration;
      return true;
    case 3:
      C.NextPageClass = QStringLiteral("TfmCalculationStateReport");
      return true;
    case 4:
      C.NextPageClass = QStringLiteral("TFmCheckStatusBeforeCloseFN");
      return true;
    case 5:
      C.IsOFDSettingMode = true;
      C.NextPageClass = QStringLiteral("TfmOFDParams");
      return true;
    default:
      return false;
  }
}
