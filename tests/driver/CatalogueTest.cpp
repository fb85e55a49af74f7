// The catalogue: unique names, types as the programs use them, typed and
// by-name access, and no name used by name anywhere in the tree that the
// catalogue lacks.

#include "driver/Catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/ByName.h"
#include "driver/ResultCodes.h"
#include "driver/StoredDriver.h"
#include "tests/support/TempDir.h"

namespace {

// Keeps values; every method answers 0 and remembers that it ran.
class TPlainDriver : public TStoredDriver {
 public:
  std::optional<TMethodId> LastMethod;

 private:
  int DoCall(TMethodId Id) override {
    LastMethod = Id;
    return Finish(kResultOk, QString());
  }
};

TEST(Catalogue, NamesAreUniqueIdentifiersAcrossPropertiesAndMethods) {
  std::set<std::string> Names;
  const std::regex Identifier("[A-Za-z][A-Za-z0-9_]*");
  for (const TPropertyInfo& Info : AllProperties()) {
    EXPECT_TRUE(Names.insert(Info.Name).second) << Info.Name;
    EXPECT_TRUE(std::regex_match(Info.Name, Identifier)) << Info.Name;
    EXPECT_EQ(FindProperty(std::string_view(Info.Name)), Info.Id) << Info.Name;
    EXPECT_EQ(&PropertyInfo(Info.Id), &Info);
  }
  for (const TMethodInfo& Info : AllMethods()) {
    EXPECT_TRUE(Names.insert(Info.Name).second) << Info.Name;
    EXPECT_TRUE(std::regex_match(Info.Name, Identifier)) << Info.Name;
    EXPECT_EQ(FindMethod(std::string_view(Info.Name)), Info.Id) << Info.Name;
    EXPECT_STREQ(MethodName(Info.Id), Info.Name);
  }
  EXPECT_EQ(Names.size(), static_cast<std::size_t>(kPropertyCount + kMethodCount));
}

TEST(Catalogue, MembersHaveTheTypesTheProgramsUse) {
  struct TCase {
    const char* Name;
    TValueType Type;
  };
  const TCase Cases[] = {
      {"ResultCode", TValueType::Int},
      {"ResultCodeDescription", TValueType::Text},
      {"Connected", TValueType::Bool},
      {"ValueOfFieldInteger", TValueType::Int64},
      {"RegistrationReasonCodeEx", TValueType::Int64},
      {"Summ1", TValueType::Money},
      {"Summ20", TValueType::Money},
      {"Price", TValueType::Money},
      {"Quantity", TValueType::Double},
      {"ECRSoftDate", TValueType::Date},
      {"Date", TValueType::Date},
      {"Time", TValueType::Time},
      {"TagValueDateTime", TValueType::DateTime},
      {"DataBlock", TValueType::Bytes},
      {"TLVData", TValueType::Bytes},
      {"ModelParamValue", TValueType::Variant},
      {"BarCode", TValueType::Text},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const auto Id = FindProperty(std::string_view(Case.Name));
    ASSERT_TRUE(Id);
    EXPECT_EQ(PropertyType(*Id), Case.Type);
  }
  // Methods spelt as the driver spells them.
  for (const char* Name : {"FNAcceptMakringCode", "OpenNonfiscalDocument", "CloseNonFiscalDocument",
                           "PrintBarCode", "DampRequest"}) {
    EXPECT_TRUE(FindMethod(std::string_view(Name))) << Name;
  }
}

TEST(Catalogue, LookupIsExact) {
  for (const char* Name : {"resultcode", "ResultCode ", " ResultCode", "Resultcode", "",
                           "FNAcceptMarkingCode", "Summ0", "Summ21", "Connect\n"}) {
    EXPECT_FALSE(FindProperty(std::string_view(Name))) << Name;
    EXPECT_FALSE(FindMethod(std::string_view(Name))) << Name;
  }
  EXPECT_FALSE(FindProperty(QStringView(u"Summ1\u0301")));
  EXPECT_FALSE(FindProperty(QStringView(u"Ѕumm1")));  // a Cyrillic first letter
  EXPECT_TRUE(FindProperty(QStringView(u"Summ1")));
}

TEST(Catalogue, FreshPropertiesHoldTheirTypesDefaults) {
  TPlainDriver Driver;
  for (const TPropertyInfo& Info : AllProperties()) {
    SCOPED_TRACE(Info.Name);
    EXPECT_EQ(Driver.GetValue(Info.Id), DefaultValue(Info.Type));
    if (Info.Type != TValueType::Variant) {
      EXPECT_EQ(Driver.GetValue(Info.Id).metaType(), DefaultValue(Info.Type).metaType());
    }
  }
}

struct TRoundTrip {
  const char* Name;
  QVariant In;
  QVariant Out;  // the value read back, of the property's Qt type
};

TEST(AccessByName, EveryTypeRoundTrips) {
  const QDate Day(2018, 10, 24);
  const QTime Noon(12, 30, 15, 250);
  const TRoundTrip Cases[] = {
      {"ResultCode", 42, 42},
      {"ResultCode", -100, -100},
      {"ResultCode", qint64(7), 7},
      {"ResultCode", 7u, 7},
      {"ResultCode", std::numeric_limits<int>::min(), std::numeric_limits<int>::min()},
      {"ValueOfFieldInteger", qulonglong(2147483648u), qint64(2147483648LL)},
      {"ValueOfFieldInteger", -1, qint64(-1)},
      {"ValueOfFieldInteger", std::numeric_limits<qint64>::max(),
       std::numeric_limits<qint64>::max()},
      {"Connected", true, true},
      {"Connected", false, false},
      {"UDescription", QString::fromUtf8("ККТ «Тест» №1"), QString::fromUtf8("ККТ «Тест» №1")},
      {"UDescription", QString(), QString()},
      {"Summ1", QVariant::fromValue(TMoney::FromUnits(123456)),
       QVariant::fromValue(TMoney::FromUnits(123456))},
      {"Summ1", QStringLiteral("12.34"), QVariant::fromValue(TMoney::FromUnits(123400))},
      {"Summ1", 5, QVariant::fromValue(TMoney::FromUnits(50000))},
      {"Summ1", 0.1, QVariant::fromValue(TMoney::FromUnits(1000))},
      {"Summ1", QStringLiteral("-0.0001"), QVariant::fromValue(TMoney::FromUnits(-1))},
      {"Quantity", 1.25, 1.25},
      {"Quantity", 3, 3.0},
      {"Date", Day, Day},
      {"Date", QDate(), QDate()},
      {"Time", Noon, Noon},
      {"TagValueDateTime", QDateTime(Day, Noon), QDateTime(Day, Noon)},
      {"DataBlock", QByteArray("\x00\xff\x1d", 3), QByteArray("\x00\xff\x1d", 3)},
      {"DataBlock", QByteArray(), QByteArray()},
      {"ModelParamValue", true, true},
      {"ModelParamValue", 72, 72},
      {"ModelParamValue", QStringLiteral("x"), QStringLiteral("x")},
  };
  for (const TRoundTrip& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Name) + " = " + ValueToText(Case.In).toStdString());
    TPlainDriver Driver;
    SetPropertyByName(Driver, QString::fromLatin1(Case.Name), Case.In);
    const QVariant Back = GetPropertyByName(Driver, QString::fromLatin1(Case.Name));
    EXPECT_EQ(Back.metaType(), Case.Out.metaType());
    EXPECT_EQ(Back, Case.Out);
  }
}

TEST(AccessByName, ValuesThatDoNotFitAreRefusedAndChangeNothing) {
  const TRoundTrip Cases[] = {
      {"ResultCode", QStringLiteral("12"), 0},
      {"ResultCode", 1.0, 0},
      {"ResultCode", true, 0},
      {"ResultCode", qint64(1) << 31, 0},
      {"ResultCode", QVariant(), 0},
      {"ValueOfFieldInteger", std::numeric_limits<qulonglong>::max(), qint64(0)},
      {"Connected", 1, false},
      {"UDescription", 5, QString()},
      {"UDescription", QByteArray("abc"), QString()},
      {"Summ1", QStringLiteral("12,34"), QVariant::fromValue(TMoney())},
      {"Summ1", std::numeric_limits<double>::quiet_NaN(), QVariant::fromValue(TMoney())},
      {"Summ1", std::numeric_limits<qint64>::max(), QVariant::fromValue(TMoney())},
      {"Summ1", true, QVariant::fromValue(TMoney())},
      {"Quantity", QStringLiteral("1.5"), 0.0},
      {"Date", QDateTime(QDate(2020, 1, 1), QTime(0, 0)), QDate()},
      {"Time", QDate(2020, 1, 1), QTime()},
      {"TagValueDateTime", QDate(2020, 1, 1), QDateTime()},
      {"DataBlock", QStringLiteral("00 FF"), QByteArray()},
  };
  for (const TRoundTrip& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Name) + " = " + ValueToText(Case.In).toStdString());
    TPlainDriver Driver;
    const QString Name = QString::fromLatin1(Case.Name);
    try {
      SetPropertyByName(Driver, Name, Case.In);
      ADD_FAILURE() << "accepted";
    } catch (const EDriverAccessError& E) {
      EXPECT_TRUE(E.Message().contains(Name)) << E.what();
    }
    EXPECT_EQ(GetPropertyByName(Driver, Name), Case.Out);
  }
}

TEST(AccessByName, UnknownNamesFailWithTheName) {
  TPlainDriver Driver;
  const char* const Unknown[] = {"Summ0", "summ1", "", "FNAcceptMarkingCode", "Connect()"};
  for (const char* Name : Unknown) {
    SCOPED_TRACE(Name);
    const QString Text = QString::fromLatin1(Name);
    EXPECT_THROW(GetPropertyByName(Driver, Text), EDriverAccessError);
    EXPECT_THROW(SetPropertyByName(Driver, Text, 1), EDriverAccessError);
    EXPECT_THROW(CallMethodByName(Driver, Text), EDriverAccessError);
  }
  // A property is no method and a method no property.
  const QString Property = QStringLiteral("ResultCode");
  const QString Method = QStringLiteral("Connect");
  EXPECT_THROW(CallMethodByName(Driver, Property), EDriverAccessError);
  EXPECT_THROW(GetPropertyByName(Driver, Method), EDriverAccessError);
  EXPECT_FALSE(Driver.LastMethod);
  const QString Misspelt = QStringLiteral("Sum1");
  try {
    PropertyIdByName(Misspelt);
    ADD_FAILURE();
  } catch (const EDriverAccessError& E) {
    EXPECT_EQ(E.Message(), QString::fromUtf8("Неизвестное свойство драйвера: Sum1"));
  }
}

TEST(AccessByName, CallsTheNamedMethod) {
  TPlainDriver Driver;
  Driver.SetResultCode(7);
  EXPECT_EQ(CallMethodByName(Driver, u"FNAcceptMakringCode"), 0);
  EXPECT_EQ(Driver.LastMethod, TMethodId::FNAcceptMakringCode);
  EXPECT_EQ(Driver.ResultCode(), 0);
}

TEST(TypedAccess, AccessorsAndNamesReachTheSameProperty) {
  TPlainDriver Driver;
  Driver.SetSumm1(TMoney::FromUnits(15000));
  Driver.SetTableNumber(18);
  Driver.SetValueOfFieldInteger(2147483648LL);
  Driver.SetTagValueDateTime(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)));
  Driver.SetModelParamValue(QVariant(true));
  Driver.SetDate(QDate(2018, 10, 24));  // the property, not the method SetDate()
  EXPECT_EQ(GetPropertyByName(Driver, u"Summ1"), QVariant::fromValue(TMoney::FromUnits(15000)));
  EXPECT_EQ(GetPropertyByName(Driver, u"TableNumber"), 18);
  EXPECT_EQ(GetPropertyByName(Driver, u"ValueOfFieldInteger"), qint64(2147483648LL));
  EXPECT_EQ(Driver.ModelParamValue(), QVariant(true));
  EXPECT_EQ(Driver.Date(), QDate(2018, 10, 24));
  SetPropertyByName(Driver, u"StringForPrinting", QStringLiteral("Строка"));
  EXPECT_EQ(Driver.StringForPrinting(), QStringLiteral("Строка"));
  EXPECT_EQ(Driver.SetDate(), 0);
  EXPECT_EQ(Driver.LastMethod, TMethodId::SetDate);
}

// ---- Names used by name in the source tree --------------------------------

struct TNameUse {
  std::string Where;  // file:line
  std::string Name;
  enum { Property, Method, Either } Kind;
};

// Every literal name given to the by-name functions or marked DRIVER_NAME in
// the .h and .cpp files below Root (hidden folders, build folders and Skip
// excluded).
std::vector<TNameUse> NamesUsedByName(const std::filesystem::path& Root,
                                      const std::filesystem::path& Skip) {
  // A literal first or later argument, plain or in QStringLiteral / u"";
  // earlier arguments may hold calls without arguments, as Driver().
  const std::string Literal =
      R"re(\s*\(((?:[^"()\n]|\(\))*,\s*)?(?:QStringLiteral\s*\(\s*|QString::fromUtf8\s*\(\s*|u)?"([^"\n]*)")re";
  const std::regex PropertyUse(
      R"re(\b(?:GetPropertyByName|SetPropertyByName|PropertyIdByName|FindProperty))re" + Literal);
  const std::regex MethodUse(R"re(\b(?:CallMethodByName|MethodIdByName|FindMethod))re" + Literal);
  const std::regex MarkedUse(R"re(\bDRIVER_NAME\s*\(\s*"([^"\n]*)"\s*\))re");
  std::vector<TNameUse> Uses;
  namespace fs = std::filesystem;
  for (auto It = fs::recursive_directory_iterator(Root); It != fs::recursive_directory_iterator();
       ++It) {
    const fs::path& Path = It->path();
    const std::string Leaf = Path.filename().string();
    if (It->is_directory()) {
      std::error_code Ec;
      if (Leaf.starts_with(".") || Leaf.starts_with("build") ||
          (!Skip.empty() && fs::equivalent(Path, Skip, Ec))) {
        It.disable_recursion_pending();
      }
      continue;
    }
    const std::string Ext = Path.extension().string();
    if (Ext != ".h" && Ext != ".cpp") continue;
    std::ifstream In(Path);
    std::string Line;
    for (int Number = 1; std::getline(In, Line); ++Number) {
      if (Line.find("ByName") == std::string::npos && Line.find("Find") == std::string::npos &&
          Line.find("DRIVER_NAME") == std::string::npos) {
        continue;
      }
      const std::string Where = Path.string() + ":" + std::to_string(Number);
      auto Collect = [&](const std::regex& Pattern, int Group, decltype(TNameUse::Kind) Kind) {
        for (std::sregex_iterator M(Line.begin(), Line.end(), Pattern), End; M != End; ++M) {
          Uses.push_back({Where, (*M)[Group].str(), Kind});
        }
      };
      Collect(PropertyUse, 2, TNameUse::Property);
      Collect(MethodUse, 2, TNameUse::Method);
      Collect(MarkedUse, 1, TNameUse::Either);
    }
  }
  return Uses;
}

std::vector<std::string> Unresolved(const std::vector<TNameUse>& Uses) {
  std::vector<std::string> Result;
  for (const TNameUse& Use : Uses) {
    const bool IsProperty = FindProperty(std::string_view(Use.Name)).has_value();
    const bool IsMethod = FindMethod(std::string_view(Use.Name)).has_value();
    const bool Ok = Use.Kind == TNameUse::Property ? IsProperty
                    : Use.Kind == TNameUse::Method ? IsMethod
                                                   : IsProperty || IsMethod;
    if (!Ok) Result.push_back(Use.Where + ": " + Use.Name);
  }
  return Result;
}

TEST(Catalogue, EveryNameUsedByNameInTheSourceResolves) {
  const auto Uses = NamesUsedByName(VARKON_SOURCE_DIR, VARKON_BINARY_DIR);
  EXPECT_EQ(Unresolved(Uses), std::vector<std::string>());
}

TEST(Catalogue, SourceScanFindsMisspeltNames) {
  TempDir Dir;
  std::filesystem::create_directories(Dir.path() / "pages");
  std::filesystem::create_directories(Dir.path() / "build-x");
  std::ofstream(Dir.path() / "pages" / "Page.cpp")
      << "SetPropertyByName(Driver(), \"Summ1\", Summ);\n"
         "SetPropertyByName(Driver(), QStringLiteral(\"Sum2\"), Summ);\n"
         "CallMethodByName(*FDriver, u\"FNAcceptMarkingCode\");\n"
         "CallMethodByName(*FDriver, \"Summ1\"); GetPropertyByName(D, \"Connect\");\n"
         "const char* Names[] = {DRIVER_NAME(\"Tax1\"), DRIVER_NAME(\"Tax5\")};\n"
         "FindProperty(\"ResultCode\"); FindMethod(\"Sale\");\n";
  std::ofstream(Dir.path() / "pages" / "Notes.txt") << "CallMethodByName(D, \"Nope\");\n";
  std::ofstream(Dir.path() / "build-x" / "Gen.cpp") << "CallMethodByName(D, \"Nope\");\n";
  const auto Uses = NamesUsedByName(Dir.path(), {});
  EXPECT_EQ(Uses.size(), 9u);
  const std::string File = (Dir.path() / "pages" / "Page.cpp").string();
  EXPECT_EQ(Unresolved(Uses), (std::vector<std::string>{
                                  File + ":2: Sum2", File + ":3: FNAcceptMarkingCode",
                                  File + ":4: Connect", File + ":4: Summ1", File + ":5: Tax5"}));
}

}  // namespace
