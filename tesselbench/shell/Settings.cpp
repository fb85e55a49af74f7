#include "tesselbench/shell/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "common/config/IniFile.h"
#include "common/config/Paths.h"

QString BenchSettingsFileName() {
  return QString::fromStdString(SettingsDir()) + QStringLiteral("/Tests.conf");
}

QString LocaleIniFileName() {
  return QString::fromStdString(SettingsDir()) + QStringLiteral("/Tessel/locale.ini");
}

QString ReadLanguage() {
  const QString FileName = LocaleIniFileName();
  QDir().mkpath(QFileInfo(FileName).path());
  const TIniFile Ini = TIniFile::Load(FileName.toStdString());
  const QString Lang = QString::fromStdString(Ini.Read("Locale", "Lang", "RU"));
  return Lang == QStringLiteral("EN") ? QStringLiteral("EN") : QStringLiteral("RU");
}

bool WriteLanguage(const QString& Lang) {
  const QString FileName = LocaleIniFileName();
  QDir().mkpath(QFileInfo(FileName).path());
  QSettings Ini(FileName, QSettings::IniFormat);
  Ini.setValue(QStringLiteral("Locale/Lang"),
               Lang == QStringLiteral("EN") ? QStringLiteral("EN") : QStringLiteral("RU"));
  Ini.sync();
  return Ini.status() == QSettings::NoError;
}
