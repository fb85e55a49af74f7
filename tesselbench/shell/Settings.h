#pragma once
// Where TesselBench keeps its settings, and the language choice.
//
// Control values and geometry: $XDG_CONFIG_HOME/Varkon/Tests.conf (QSettings
// INI), group Tessel/A4/Param. Language: $XDG_CONFIG_HOME/Varkon/Tessel/
// locale.ini, section Locale, key Lang ("RU" or "EN").

#include <QString>

QString BenchSettingsFileName();
inline constexpr const char* kBenchSettingsGroup = "Tessel/A4/Param";

QString LocaleIniFileName();
// "RU" or "EN"; any other value, a missing key or file is "RU". Creates the
// folders of the file when missing.
QString ReadLanguage();
// Writes "RU" or "EN"; false when the file cannot be written.
bool WriteLanguage(const QString& Lang);
