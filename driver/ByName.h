#pragma once
// Access to driver members by their catalogue names, for TesselBench's page
// engine. Names are exact and case-sensitive. An unknown name, or a value
// that does not fit the property (see ConvertValue), raises
// EDriverAccessError with a message for the user; nothing is changed then.
//
// Every name given to these functions as a literal, and every name kept in a
// table marked with DRIVER_NAME("Summ1"), is checked against the catalogue by
// the driver tests, which read the source tree.

#include <QStringView>
#include <QVariant>

#include "driver/IDriver.h"

// Marks a driver member name kept as a literal in a table; expands to it.
#define DRIVER_NAME(Name) Name

TPropertyId PropertyIdByName(QStringView Name);
TMethodId MethodIdByName(QStringView Name);

QVariant GetPropertyByName(const IDriver& Driver, QStringView Name);
void SetPropertyByName(IDriver& Driver, QStringView Name, const QVariant& Value);
int CallMethodByName(IDriver& Driver, QStringView Name);
