#pragma once
// The page list in its fixed order: every line with the pages built so far.

#include "tesselbench/shell/fmuMain.h"

TPageTable BenchPageTable();
