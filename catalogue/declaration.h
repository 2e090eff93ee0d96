// The form in which the catalogue declares its datasets: constant tables,
// shared by every service object, that read like the catalogue itself. Each
// service object builds its own dataset and provider instances from them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace rvz::catalogue {

// The twelve field types of the catalogue.
enum class FieldType : uint8_t {
  String,      // narrow text, served in the ANSI code page, at most Size bytes
  WideString,  // UTF-16 text as the database returns it
  Integer,
  SmallInt,
  AutoInc,
  Float,
  BCD,  // decimal(Precision, Size)
  Boolean,
  Date,  // the date part only
  DateTime,
  Memo,
  Blob,
  // Types that only fields created from a result take (datasets without
  // declared fields): the kinds the twelve do not cover.
  Word,
  LargeInt,
  Time,
  Guid,
  Bytes,
  VarBytes,
  // A result column whose kind nothing told (a computed column without a
  // value to read it from): such a field cannot travel in a packet.
  Unknown,
};

// The type's name in messages ("WideString", "BCD", ...).
std::string_view fieldTypeName(FieldType t);

// Provider flags of a field.
enum ProviderFlags : uint8_t {
  kNone = 0,
  kInUpdate = 1,
  kInWhere = 2,
  kInKey = 4,
  kHidden = 8,
};
inline constexpr uint8_t U = kInUpdate;
inline constexpr uint8_t W = kInWhere;
inline constexpr uint8_t K = kInKey;
inline constexpr uint8_t UW = kInUpdate | kInWhere;
inline constexpr uint8_t UWK = kInUpdate | kInWhere | kInKey;
inline constexpr uint8_t none = kNone;

// A field's type with its size and marks, written as the catalogue writes
// them: wide(50).fixed(), str(20), decimal(10, 2), autoinc.readOnly().
struct TypeSpec {
  FieldType type;
  int size = 0;       // strings: length; decimals: digits after the point
  int precision = 0;  // decimals: total digits
  bool isFixed = false;
  bool isReadOnly = false;
  constexpr TypeSpec fixed() const {
    TypeSpec t = *this;
    t.isFixed = true;
    return t;
  }
  constexpr TypeSpec readOnly() const {
    TypeSpec t = *this;
    t.isReadOnly = true;
    return t;
  }
};

inline constexpr int kDefaultStringSize = 20;
inline constexpr int kDefaultDecimalScale = 4;

constexpr TypeSpec str(int size = kDefaultStringSize) { return {FieldType::String, size}; }
constexpr TypeSpec wide(int size = kDefaultStringSize) { return {FieldType::WideString, size}; }
constexpr TypeSpec decimal(int precision, int scale = kDefaultDecimalScale) {
  return {FieldType::BCD, scale, precision};
}
inline constexpr TypeSpec integer{FieldType::Integer};
inline constexpr TypeSpec smallint{FieldType::SmallInt};
inline constexpr TypeSpec autoinc{FieldType::AutoInc};
inline constexpr TypeSpec floating{FieldType::Float};
inline constexpr TypeSpec boolean{FieldType::Boolean};
inline constexpr TypeSpec date{FieldType::Date};
inline constexpr TypeSpec datetime{FieldType::DateTime};
inline constexpr TypeSpec memo{FieldType::Memo};
inline constexpr TypeSpec blob{FieldType::Blob};

struct FieldDecl {
  std::string_view name;
  TypeSpec typeSpec;
  uint8_t flags;
  constexpr FieldType type() const { return typeSpec.type; }
};

// A declared parameter of a dataset's command.
struct ParamDecl {
  std::string_view name;
  FieldType type;
  int size;
  int precision;
  int numericScale;
  bool nullable;
  uint8_t direction;  // 1 input
};

enum class Connection : uint8_t { Cn, conAccounts };
enum class UpdateMode : uint8_t { WhereAll, WhereChanged, KeyOnly };

struct DatasetDecl {
  std::string_view name;
  std::string_view provider;
  Connection connection = Connection::Cn;
  UpdateMode updateMode = UpdateMode::WhereAll;
  std::span<const std::string_view> sql;  // lines; each is sent followed by CR LF
  std::span<const FieldDecl> fields;
  std::span<const ParamDecl> params = {};
};

// One module's datasets, in declaration order.
struct ModuleDecl {
  std::string_view name;
  std::span<const DatasetDecl> datasets;
};

// Every module of the data service, in declaration order: system datasets
// first, then master data and the business modules.
std::span<const ModuleDecl> dataServiceModules();

// The report service's 54 datasets, in declaration order (catalogue/reports.cpp).
std::span<const DatasetDecl> reportServiceDatasets();

}  // namespace rvz::catalogue
