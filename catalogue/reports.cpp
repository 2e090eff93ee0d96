// The report service's catalogue: 54 datasets declared alike, each with the
// placeholder SQL "select * from " and no declared fields, since every
// report sends its own command text with its provider calls. They run on
// the company-database connection that the report service borrows.
#include <array>
#include <string>

#include "catalogue/declaration.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kPlaceholderSql[] = {
    "select * from ",
};

// In declaration order.
constexpr std::string_view kReportNames[] = {
    "KhXsHz",  "KhXsMx",   "HpXsHz",   "HpXsMx",   "YwyXsHz",  "YwyXsMx",  "DqXsHz",   "DqXsMx",  "HplbXsHz",
    "HplbXsMx", "HpXsMlHz", "HpXsMlMx", "XsMlAdjs", "YwyYjtj", "XsddQk",   "XsMsdj",   "XsMlNb",  "XsMlNbMx",
    "GysGhHz", "GysGhMx",  "HpCgHz",   "HpCgMx",   "YwyCgHz",  "YwyCgMx",  "CgddQk",   "CgMfDj",  "CkkcHz",
    "CkkcMx",  "HpCwb",    "YskZb",    "YskZlfx",  "YfkZb",    "YfkZlfx",  "YskMx",    "YfkMx",   "YskZlMx",
    "YfkZlMx", "Fxt",      "RqLsz",    "GysLsz",   "KhLsz",    "SzLsz",    "CkLsz",    "SzHz",    "XjyhHz",
    "YyqkHz",  "SzMx",     "XjyhMx",   "Yylrb",    "JdqYsk",   "CqYsk",    "JdqYfk",   "CqYfk",   "adoPub",
};
static_assert(std::size(kReportNames) == 54);

// The provider of a report dataset: "p" and its name, except adoPub's.
std::string providerOf(std::string_view dataset) {
  if (dataset == "adoPub") return "pBbPub";
  return "p" + std::string(dataset);
}

}  // namespace

std::span<const DatasetDecl> reportServiceDatasets() {
  // The provider names live as long as the declarations they are viewed from.
  static const std::array<std::string, std::size(kReportNames)> providers = [] {
    std::array<std::string, std::size(kReportNames)> out;
    for (size_t i = 0; i < out.size(); ++i) out[i] = providerOf(kReportNames[i]);
    return out;
  }();
  static const std::array<DatasetDecl, std::size(kReportNames)> datasets = [] {
    std::array<DatasetDecl, std::size(kReportNames)> out;
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = DatasetDecl{kReportNames[i], providers[i], Connection::Cn, UpdateMode::WhereAll, kPlaceholderSql, {}};
    return out;
  }();
  return datasets;
}

}  // namespace rvz::catalogue
