// The driver interface's texts have English translations.

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/text/Intl.h"
#include "driver/ByName.h"
#include "driver/DriverFactory.h"
#include "driver/ResultCodes.h"

namespace {

// The catalogue "varkon-driver-test" is driver/po/en.po, compiled beside this test.
TEST(DriverTexts, HaveEnglishTranslations) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  varkon::InitCatalogue("varkon-driver-test");
  varkon::SetCatalogueLanguage("en");
  EXPECT_EQ(NotSupportedDescription(), QStringLiteral("The method is not supported by the driver"));
  QString Error;
  EXPECT_EQ(CreateDriver(&Error), nullptr);
  EXPECT_EQ(Error, QStringLiteral("The fiscal register driver is not installed"));
  const QString Misspelt = QStringLiteral("Summ0");
  try {
    PropertyIdByName(Misspelt);
    ADD_FAILURE();
  } catch (const EDriverAccessError& E) {
    EXPECT_EQ(E.Message(), QStringLiteral("Unknown driver property: Summ0"));
  }
  varkon::SetCatalogueLanguage("");
  EXPECT_EQ(NotSupportedDescription(), QString::fromUtf8("Метод не поддерживается драйвером"));
}

}  // namespace
