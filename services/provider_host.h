// The provider host of a service object: its providers in creation order,
// the host lock, and the seven provider operations with their common frame
// (lock, find the provider by name, run, unlock).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "services/provider.h"

namespace rvz::services {

class ProviderHost {
 public:
  void add(std::unique_ptr<Provider> p) { providers_.push_back(std::move(p)); }
  const std::vector<std::unique_ptr<Provider>>& providers() const { return providers_; }

  // The first provider whose name equals `name` (through the ANSI code page,
  // letter case ignored); throws "Provider not exported: <name as sent>".
  Provider& find(const WString& name);

  // The seven operations. OwnerData is never read or written.
  Variant AS_ApplyUpdates(const WString& providerName, const Variant& delta, int32_t maxErrors,
                          int32_t& errorCount, Variant& ownerData);
  Variant AS_GetRecords(const WString& providerName, int32_t count, int32_t& recsOut, int32_t options,
                        const WString& commandText, Variant& params, Variant& ownerData);
  Variant AS_DataRequest(const WString& providerName, const Variant& data);
  Variant AS_GetProviderNames();
  Variant AS_GetParams(const WString& providerName, Variant& ownerData);
  Variant AS_RowRequest(const WString& providerName, const Variant& row, int32_t requestType, Variant& ownerData);
  void AS_Execute(const WString& providerName, const WString& commandText, Variant& params, Variant& ownerData);

 private:
  std::mutex lock_;  // held by each operation for its whole run
  std::vector<std::unique_ptr<Provider>> providers_;
};

}  // namespace rvz::services
