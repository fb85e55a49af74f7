#include "tesselbench/pages/Lists.h"

std::vector<QString> ComPortItems() {
  std::vector<QString> Items;
  for (int N = 1; N <= 256; ++N) Items.push_back(QStringLiteral("COM%1").arg(N));
  return Items;
}

std::vector<QString> BaudRateItems() {
  return {QStringLiteral("2400"),   QStringLiteral("4800"),   QStringLiteral("9600"),
          QStringLiteral("19200"),  QStringLiteral("38400"),  QStringLiteral("57600"),
          QStringLiteral("115200"), QStringLiteral("230400"), QStringLiteral("460800"),
          QStringLiteral("921600")};
}
