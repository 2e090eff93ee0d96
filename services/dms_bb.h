// The report service object TDatasBb: one per client, owning the 54 report
// datasets and their providers and acting as their provider host. It owns
// no connection: its datasets borrow the Cn of the live data service object
// named "Datas" (see services/shared_connection.h), pending until such an
// object exists at the end of some build, and unbound for good once that
// object is destroyed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/variant/variant.h"
#include "services/catalogue_dataset.h"
#include "services/provider_host.h"
#include "services/shared_connection.h"

namespace rvz::services {

// The object whose Cn the report datasets borrow.
inline constexpr std::string_view kLendingObjectName = "Datas";

class TDatasBb {
 public:
  // Builds the object from its declaration under the process-wide lock,
  // takes its component name ("DatasBb", DatasBb_1, ...) and resolves every
  // pending reference of the process, its own among them. Opens nothing.
  TDatasBb();
  // Lets go of the borrowed connection (once a use of it in progress has
  // ended) or drops the pending reference, then frees everything.
  ~TDatasBb();
  TDatasBb(const TDatasBb&) = delete;
  TDatasBb& operator=(const TDatasBb&) = delete;

  const std::string& componentName() const { return componentName_; }

  // SetFilter of IDatasBb: the filter of one report dataset, named without
  // the provider's "p" and without regard to case.
  void SetFilter(const Variant& filter);

  ProviderHost& host() { return host_; }
  // A dataset by name, letter case ignored; null when there is none.
  CatalogueDataset* findDataset(std::string_view name);
  const std::vector<std::unique_ptr<CatalogueDataset>>& datasets() const { return datasets_; }

  // Where the datasets' connection reference stands.
  BorrowedConnection::State binding() { return cn_.state(); }

 private:
  void attach(data::Connection* cn);

  std::string componentName_;
  std::vector<std::unique_ptr<CatalogueDataset>> datasets_;
  ProviderHost host_;
  BorrowedConnection cn_;
};

}  // namespace rvz::services
