// A provider: publishes one dataset of a service object under a fixed name
// and runs the provider operations on it (fetching packets, completing
// rows, executing, parameters; applying deltas through its resolver).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/declaration.h"
#include "platform/packets/packet.h"
#include "platform/packets/param_list.h"
#include "services/catalogue_dataset.h"

namespace rvz::services {

class Resolver;
class Delta;
struct ChangeRecord;

// Provider options; every provider of the catalogue has exactly these four.
enum ProviderOptions : uint32_t {
  poFetchBlobsOnDemand = 1,
  poAutoRefresh = 2,
  poPropogateChanges = 4,
  poAllowCommandText = 8,
};
inline constexpr uint32_t kCatalogueProviderOptions =
    poFetchBlobsOnDemand | poAutoRefresh | poPropogateChanges | poAllowCommandText;

// Bits of AS_GetRecords' Options and AS_RowRequest's RequestType (low byte).
inline constexpr int32_t kOptMetadata = 1;
inline constexpr int32_t kOptReset = 2;
inline constexpr int32_t kRequestRecord = 1;
inline constexpr int32_t kRequestBlobs = 2;

class Provider {
 public:
  Provider(std::string name, CatalogueDataset& dataset, catalogue::UpdateMode mode,
           uint32_t options = kCatalogueProviderOptions);
  ~Provider();
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;

  const std::string& name() const { return name_; }
  CatalogueDataset& dataset() { return *dataset_; }
  catalogue::UpdateMode updateMode() const { return mode_; }
  uint32_t options() const { return options_; }
  bool exported() const { return true; }
  bool openedByProvider() const { return openedByProvider_; }

  // AS_GetRecords. recsOut is written unless a reset with Count 0 returns
  // early; params is replaced by the output parameters (null for none).
  Variant getRecords(int32_t count, int32_t& recsOut, int32_t options, const WString& commandText, Variant& params);
  // AS_RowRequest.
  Variant rowRequest(const Variant& row, int32_t requestType);
  // AS_Execute.
  void execute(const WString& commandText, Variant& params);
  // AS_GetParams: every current parameter, null when there is none.
  Variant getParams();
  // AS_ApplyUpdates.
  Variant applyUpdates(const Variant& delta, int32_t maxErrors, int32_t& errorCount);

  // Closes the dataset when this provider opened it, then rewinds a dataset
  // that stays open.
  void reset();

 private:
  void applyCommandText(const WString& commandText);
  void applyParams(const Variant& params);
  void openDataset();
  Variant buildPacket(int32_t count, int32_t options, int32_t& written);
  Variant outputParams() const;
  Resolver& resolver();

  // Row requests: values to write back per packet row and column, empty
  // where the row keeps what it came with.
  using RowValues = std::vector<std::vector<std::optional<Variant>>>;
  // Locates the record of the row's first change and fills what the
  // request type asks for (the whole record, or its long values not
  // fetched yet).
  void fillRequestedValues(const Delta& delta, const std::vector<int>& fieldOf, int32_t requestType, RowValues& filled);
  // Whether a column's value is one the record is located by.
  bool locateColumnChosen(const Delta& delta, const ChangeRecord& rec, size_t column, bool wantRecord) const;

  std::string name_;
  CatalogueDataset* dataset_;
  catalogue::UpdateMode mode_;
  uint32_t options_;
  bool openedByProvider_ = false;
  std::optional<packets::ParamList> paramList_;
  std::optional<std::vector<catalogue::BoundField>> columnFields_;  // what the column list was built from
  std::vector<packets::Column> columns_;
  std::unique_ptr<Resolver> resolver_;
};

// Query parameters from a client's parameter list, and back.
std::vector<data::Parameter> toQueryParameters(const packets::ParamList& list);
packets::ParamList toParamList(const std::vector<data::Parameter>& params);

}  // namespace rvz::services
