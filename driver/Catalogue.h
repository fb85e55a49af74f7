#pragma once
// Identifiers, names and types of every driver property and method, made
// from the one table in driver/Catalogue.def.

#include <QStringView>
#include <optional>
#include <span>
#include <string_view>

#include "driver/ValueType.h"

enum class TPropertyId : int {
#define DRIVER_PROPERTY(Name, Kind) Name,
#define DRIVER_METHOD(Name)
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
};

enum class TMethodId : int {
#define DRIVER_PROPERTY(Name, Kind)
#define DRIVER_METHOD(Name) Name,
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
};

inline constexpr int kPropertyCount = 0
#define DRIVER_PROPERTY(Name, Kind) +1
#define DRIVER_METHOD(Name)
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
    ;

inline constexpr int kMethodCount = 0
#define DRIVER_PROPERTY(Name, Kind)
#define DRIVER_METHOD(Name) +1
#include "driver/Catalogue.def"
#undef DRIVER_PROPERTY
#undef DRIVER_METHOD
    ;

struct TPropertyInfo {
  TPropertyId Id;
  const char* Name;
  TValueType Type;
};

struct TMethodInfo {
  TMethodId Id;
  const char* Name;
};

// Every catalogued member, in catalogue order (the order of the ids).
std::span<const TPropertyInfo> AllProperties();
std::span<const TMethodInfo> AllMethods();

const TPropertyInfo& PropertyInfo(TPropertyId Id);
const char* PropertyName(TPropertyId Id);
TValueType PropertyType(TPropertyId Id);
const char* MethodName(TMethodId Id);

// The member of exactly this name (case-sensitive), or none.
std::optional<TPropertyId> FindProperty(std::string_view Name);
std::optional<TPropertyId> FindProperty(QStringView Name);
std::optional<TMethodId> FindMethod(std::string_view Name);
std::optional<TMethodId> FindMethod(QStringView Name);
