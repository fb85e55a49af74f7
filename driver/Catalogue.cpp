#include "driver/Catalogue.h"

#include <string>
#include <unordered_map>

namespace {

constexpr TPropertyInfo kProperties[] = {
#define DRIVER_PROPERTY(Name, Kind) {TPropertyId::Name, #Name, TValueType::Kind},
#define DRIVER_METHOD(Name)
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
};

constexpr TMethodInfo kMethods[] = {
#define DRIVER_PROPERTY(Name, Kind)
#define DRIVER_METHOD(Name) {TMethodId::Name, #Name},
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
};

static_assert(std::size(kProperties) == kPropertyCount);
static_assert(std::size(kMethods) == kMethodCount);

template <typename TInfo, typename TId, std::size_t N>
const std::unordered_map<std::string_view, TId>& IndexOf(const TInfo (&Infos)[N]) {
  // Built once, on first use; static initialisation is thread-safe.
  static const std::unordered_map<std::string_view, TId> Index = [&Infos] {
    std::unordered_map<std::string_view, TId> Map;
    for (const TInfo& Info : Infos) Map.emplace(Info.Name, Info.Id);
    return Map;
  }();
  return Index;
}

// Catalogued names are ASCII; a text with anything else finds nothing.
std::optional<std::string> AsciiOf(QStringView Name) {
  std::string Result;
  Result.reserve(Name.size());
  for (QChar C : Name) {
    if (C.unicode() == 0 || C.unicode() > 127) return std::nullopt;
    Result.push_back(static_cast<char>(C.unicode()));
  }
  return Result;
}

}  // namespace

std::span<const TPropertyInfo> AllProperties() {
  return kProperties;
}
std::span<const TMethodInfo> AllMethods() {
  return kMethods;
}

const TPropertyInfo& PropertyInfo(TPropertyId Id) {
  return kProperties[static_cast<int>(Id)];
}
const char* PropertyName(TPropertyId Id) {
  return PropertyInfo(Id).Name;
}
TValueType PropertyType(TPropertyId Id) {
  return PropertyInfo(Id).Type;
}
const char* MethodName(TMethodId Id) {
  return kMethods[static_cast<int>(Id)].Name;
}

std::optional<TPropertyId> FindProperty(std::string_view Name) {
  const auto& Index = IndexOf<TPropertyInfo, TPropertyId>(kProperties);
  const auto It = Index.find(Name);
  if (It == Index.end()) return std::nullopt;
  return It->second;
}

std::optional<TPropertyId> FindProperty(QStringView Name) {
  const auto Ascii = AsciiOf(Name);
  if (!Ascii) return std::nullopt;
  return FindProperty(std::string_view(*Ascii));
}

std::optional<TMethodId> FindMethod(std::string_view Name) {
  const auto& Index = IndexOf<TMethodInfo, TMethodId>(kMethods);
  const auto It = Index.find(Name);
  if (It == Index.end()) return std::nullopt;
  return It->second;
}

std::optional<TMethodId> FindMethod(QStringView Name) {
  const auto Ascii = AsciiOf(Name);
  if (!Ascii) return std::nullopt;
  return FindMethod(std::string_view(*Ascii));
}
