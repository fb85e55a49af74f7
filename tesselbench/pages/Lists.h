#pragma once
// Item lists shared by the pages.

#include <QString>
#include <vector>

// "COM1" ... "COM256": index i stands for ComNumber i + 1.
std::vector<QString> ComPortItems();
// "2400" ... "921600": the index is the BaudRate code.
std::vector<QString> BaudRateItems();
