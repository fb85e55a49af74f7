// The language file and the slip parameter lists.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "BenchFixture.h"
#include "tesselbench/shell/Settings.h"
#include "tesselbench/shell/TestParams.h"

namespace {

class BenchSettings : public TBenchTest {
 protected:
  void WriteLocale(const char* Text) {
    QDir().mkpath(QFileInfo(LocaleIniFileName()).path());
    QFile F(LocaleIniFileName());
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Text);
  }
};

}  // namespace

TEST_F(BenchSettings, LocaleIniLivesUnderTheConfigFolder) {
  EXPECT_EQ(LocaleIniFileName(), ConfigDir() + QStringLiteral("/Varkon/Tessel/locale.ini"));
  EXPECT_EQ(BenchSettingsFileName(), ConfigDir() + QStringLiteral("/Varkon/Tests.conf"));
}

TEST_F(BenchSettings, LanguageIsEnglishOnlyForEN) {
  struct {
    const char* File;
    const char* Lang;
  } Cases[] = {{"[Locale]\nLang=EN\n", "EN"},
               {"[Locale]\nLang=RU\n", "RU"},
               {"[Locale]\nLang=DE\n", "RU"},
               {"[Other]\nLang=EN\n", "RU"},
               {"", "RU"}};
  for (const auto& Case : Cases) {
    WriteLocale(Case.File);
    EXPECT_EQ(ReadLanguage(), QString::fromLatin1(Case.Lang)) << Case.File;
  }
}

TEST_F(BenchSettings, MissingFoldersAreCreatedAndTheChoiceIsWritten) {
  EXPECT_FALSE(QFileInfo::exists(ConfigDir()));
  EXPECT_EQ(ReadLanguage(), QStringLiteral("RU"));
  EXPECT_TRUE(QFileInfo(QFileInfo(LocaleIniFileName()).path()).isDir());
  EXPECT_TRUE(WriteLanguage(QStringLiteral("EN")));
  EXPECT_EQ(ReadLanguage(), QStringLiteral("EN"));
  EXPECT_TRUE(WriteLanguage(QStringLiteral("RU")));
  EXPECT_EQ(ReadLanguage(), QStringLiteral("RU"));
}

TEST_F(BenchSettings, TestParamsKeepTheListsExactly) {
  TTestParams P;
  P.SlipOpen = {QStringLiteral("1"), QString(), QString::fromUtf8("Строка \"в кавычках\""), QString()};
  P.SlipClose = {QStringLiteral("a")};
  P.SlipConfigure = {QStringLiteral("b"), QString()};
  P.SlipDiscountCharge = {QStringLiteral("c\tt")};
  P.SlipRegistration = {QString(), QString()};
  P.ParamsLoaded = true;
  const QString Name = TTestParams::DefaultFileName();
  EXPECT_TRUE(Name.startsWith(QString::fromStdString((FTemp.path() / "data").string())));
  ASSERT_TRUE(P.Save(Name));
  TTestParams Q;
  Q.Load(Name);
  EXPECT_TRUE(Q.ParamsLoaded);
  EXPECT_EQ(Q.SlipOpen, P.SlipOpen);
  EXPECT_EQ(Q.SlipClose, P.SlipClose);
  EXPECT_EQ(Q.SlipConfigure, P.SlipConfigure);
  EXPECT_EQ(Q.SlipDiscountCharge, P.SlipDiscountCharge);
  EXPECT_EQ(Q.SlipRegistration, P.SlipRegistration);
}

TEST_F(BenchSettings, AnEmptyListOrABadFileLoadsWithParamsLoadedFalse) {
  TTestParams P;
  P.SlipOpen = P.SlipClose = P.SlipConfigure = P.SlipDiscountCharge = {QStringLiteral("x")};
  const QString Name = TTestParams::DefaultFileName();
  ASSERT_TRUE(P.Save(Name));
  TTestParams Q;
  Q.Load(Name);
  EXPECT_FALSE(Q.ParamsLoaded);
  EXPECT_EQ(Q.SlipOpen, P.SlipOpen);

  QFile F(Name);
  ASSERT_TRUE(F.open(QIODevice::WriteOnly));
  F.write("{ not json");
  F.close();
  Q.ParamsLoaded = true;
  Q.Load(Name);
  EXPECT_FALSE(Q.ParamsLoaded);
  Q.Load(Name + QStringLiteral(".missing"));
  EXPECT_FALSE(Q.ParamsLoaded);
}

TEST_F(BenchSettings, AFailedSaveKeepsTheOldFile) {
  TTestParams P;
  P.SlipOpen = {QStringLiteral("old")};
  const QString Dir = QString::fromStdString((FTemp.path() / "ro").string());
  QDir().mkpath(Dir);
  const QString Name = Dir + QStringLiteral("/t.dat");
  ASSERT_TRUE(P.Save(Name));
  QFile::setPermissions(Dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  P.SlipOpen = {QStringLiteral("new")};
  const bool Saved = P.Save(Name);
  QFile::setPermissions(Dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner);
  if (Saved) GTEST_SKIP() << "the folder stays writable (running as root)";
  TTestParams Q;
  Q.Load(Name);
  EXPECT_EQ(Q.SlipOpen, QStringList{QStringLiteral("old")});
}
