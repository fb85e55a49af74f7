#include "common/text/Intl.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The test catalogue "varkon-test" is compiled into locale/ beside this test.
TEST(Intl, TranslatesByLanguageAndFallsBackToTheRussianId) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  varkon::InitCatalogue("varkon-test");

  varkon::SetCatalogueLanguage("en");
  EXPECT_STREQ(_("Нет связи"), "No connection");
  EXPECT_STREQ(_("СOM порт недоступен"), "COM port is not available");
  EXPECT_STREQ(_("Текст без перевода"), "Текст без перевода");

  varkon::SetCatalogueLanguage("ru");
  EXPECT_STREQ(_("Нет связи"), "Нет связи");

  varkon::SetCatalogueLanguage("");
  EXPECT_STREQ(_("Нет связи"), "Нет связи");  // Russian by default

  setenv("LANGUAGE", "en", 1);
  varkon::InitCatalogue("varkon-test-missing");  // a domain without a catalogue
  EXPECT_STREQ(_("Нет связи"), "Нет связи");
  varkon::SetCatalogueLanguage("");
}

TEST(Intl, ExecutableDirIsTheFolderOfThisProgram) {
  const std::string dir = varkon::ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back() == '/', dir == "/");
  EXPECT_NE(dir.find("bin"), std::string::npos);
}

}  // namespace
