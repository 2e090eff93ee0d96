// The catalogue as entered must match the totals the suite's clients rely
// on: a miscounted type, size or flag shows up here with its module named.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "catalogue/declaration.h"
#include "platform/text/text.h"

using namespace rvz::catalogue;

namespace {

struct Totals {
  int datasets = 0, onCn = 0, onAccounts = 0, fields = 0, defaultSize = 0, fixed = 0;
  std::map<FieldType, int> types;
  std::map<uint8_t, int> flags;
};

Totals totalsOf(std::span<const DatasetDecl> datasets) {
  Totals t;
  for (const auto& d : datasets) {
    ++t.datasets;
    (d.connection == Connection::Cn ? t.onCn : t.onAccounts)++;
    for (const auto& f : d.fields) {
      ++t.fields;
      ++t.types[f.type()];
      ++t.flags[f.flags];
      bool text = f.type() == FieldType::String || f.type() == FieldType::WideString;
      if (text && f.typeSpec.size == kDefaultStringSize) ++t.defaultSize;
      if (f.typeSpec.isFixed) ++t.fixed;
    }
  }
  return t;
}

}  // namespace

TEST(CatalogueTotals, MatchTheDeclaredCounts) {
  Totals all;
  std::string perModule;
  for (const auto& m : dataServiceModules()) {
    Totals t = totalsOf(m.datasets);
    perModule += std::string(m.name) + ": " + std::to_string(t.datasets) + " datasets, " + std::to_string(t.fields) +
                 " fields\n";
    all.datasets += t.datasets;
    all.onCn += t.onCn;
    all.onAccounts += t.onAccounts;
    all.fields += t.fields;
    all.defaultSize += t.defaultSize;
    all.fixed += t.fixed;
    for (auto [k, v] : t.types) all.types[k] += v;
    for (auto [k, v] : t.flags) all.flags[k] += v;
  }
  SCOPED_TRACE(perModule);
  EXPECT_EQ(all.datasets, 166);
  EXPECT_EQ(all.onCn, 163);
  EXPECT_EQ(all.onAccounts, 3);
  EXPECT_EQ(all.fields, 2808);
  const std::map<FieldType, int> wantTypes = {
      {FieldType::WideString, 1199}, {FieldType::Integer, 495}, {FieldType::Float, 477}, {FieldType::String, 310},
      {FieldType::DateTime, 120},    {FieldType::Boolean, 55},  {FieldType::Date, 52},   {FieldType::Memo, 51},
      {FieldType::SmallInt, 31},     {FieldType::AutoInc, 7},   {FieldType::Blob, 6},    {FieldType::BCD, 5},
  };
  for (auto [type, n] : wantTypes) EXPECT_EQ(all.types[type], n) << fieldTypeName(type);
  EXPECT_EQ(all.defaultSize, 276);
  EXPECT_EQ(all.fixed, 127);
  EXPECT_EQ(all.flags[U], 2289);
  EXPECT_EQ(all.flags[none], 273);
  EXPECT_EQ(all.flags[UW], 241);
  EXPECT_EQ(all.flags[UWK], 4);
  EXPECT_EQ(all.flags[W], 1);
}

// Per-module figures, so that a slip in data entry names its module.
TEST(CatalogueTotals, EachModuleHasItsDatasetsAndFields) {
  const std::map<std::string, std::pair<int, int>> want = {
      {"System", {19, 139}},      {"MasterData", {25, 272}}, {"Purchasing", {12, 302}}, {"Sales", {13, 326}},
      {"Inventory", {16, 346}},   {"Finance", {5, 96}},      {"Staff", {24, 335}},      {"CustomerRelations", {5, 59}},
      {"FixedAssets", {11, 344}}, {"Production", {13, 238}}, {"Property", {15, 226}},   {"Catering", {8, 125}},
  };
  for (const auto& m : dataServiceModules()) {
    Totals t = totalsOf(m.datasets);
    auto it = want.find(std::string(m.name));
    ASSERT_NE(it, want.end()) << m.name;
    EXPECT_EQ(t.datasets, it->second.first) << m.name;
    EXPECT_EQ(t.fields, it->second.second) << m.name;
  }
}

TEST(CatalogueRules, NamesAreUniqueAndProvidersFollowTheNamingRule) {
  std::set<std::u16string> datasets, providers;
  int irregular = 0;
  for (const auto& m : dataServiceModules())
    for (const auto& d : m.datasets) {
      EXPECT_TRUE(datasets.insert(rvz::text::upperCase(rvz::text::utf8ToWide(d.name))).second) << d.name;
      EXPECT_TRUE(providers.insert(rvz::text::upperCase(rvz::text::utf8ToWide(d.provider))).second) << d.provider;
      if (d.provider != "p" + std::string(d.name)) ++irregular;
      std::set<std::u16string> fields;
      for (const auto& f : d.fields) {
        EXPECT_TRUE(fields.insert(rvz::text::upperCase(rvz::text::utf8ToWide(f.name))).second)
            << d.name << "." << f.name;
        EXPECT_LE(f.name.size(), 31u) << d.name << "." << f.name;
        if (f.type() == FieldType::AutoInc) {
          EXPECT_TRUE(f.typeSpec.isReadOnly) << d.name << "." << f.name;
        }
        if (f.typeSpec.isFixed) {
          EXPECT_EQ(f.type(), FieldType::WideString) << d.name << "." << f.name;
        }
      }
    }
  EXPECT_EQ(irregular, 16);
}

TEST(CatalogueRules, OnlyTheProductionOrderHeadersDeclareAParameter) {
  int withParams = 0;
  for (const auto& m : dataServiceModules())
    for (const auto& d : m.datasets)
      if (!d.params.empty()) {
        ++withParams;
        EXPECT_EQ(d.name, "SC_ProduceOrderZB");
        ASSERT_EQ(d.params.size(), 1u);
        EXPECT_EQ(d.params[0].name, "Z.CJID");
        EXPECT_EQ(d.params[0].type, FieldType::WideString);
      }
  EXPECT_EQ(withParams, 1);
}
