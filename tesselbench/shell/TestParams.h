#pragma once
// TTestParams: the five parameter lists of the slip-document pages, kept in
// "tesselbench.dat" in the user's data folder ($XDG_DATA_HOME/Varkon).
//
// The file is JSON: {"ParamsLoaded": bool, "SlipOpen": [lines], ...}; every
// line is kept exactly, trailing empty lines included. Saving writes a
// temporary file and renames it over the old one, so a failed write keeps the
// previous lists.

#include <QString>
#include <QStringList>

class TTestParams {
 public:
  QStringList SlipOpen;
  QStringList SlipClose;
  QStringList SlipConfigure;
  QStringList SlipDiscountCharge;
  QStringList SlipRegistration;
  bool ParamsLoaded = false;

  // Reads the file; ParamsLoaded is true only when it was read and none of
  // the five lists is empty.
  void Load(const QString& FileName);
  // False when the file could not be written (the old one is kept then).
  bool Save(const QString& FileName) const;

  static QString DefaultFileName();
  // The process-wide instance, loaded from DefaultFileName on first use;
  // FreeTestParams saves and frees it.
  static TTestParams& Instance();
  static void FreeInstance();
};
