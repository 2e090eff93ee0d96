// The provider host of a service object: its providers in creation order,
// the host lock, and the seven provider operations with their common frame
// (lock, find the provider by name, run, unlock).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "services/provider.h"

namespace rvz::services {

class ProviderHost {
 public:
  void add(std::unique_ptr<Provider> p) { providers_.push_back(std::move(p)); }
  const std::vector<std::unique_ptr<Provider>>& providers() const { return providers_; }

  // Entered by every operation that may reach the datasets, after the host
  // lock and for the rest of its run: how a host whose datasets run on a
  // connection that other threads use too keeps those uses apart (see
  // services/shared_connection.h). Without one, nothing is entered.
  using UseGuard = std::function<std::unique_lock<std::mutex>()>;
  void setUseGuard(UseGuard guard) { useGuard_ = std::move(guard); }

  // The first provider whose name equals `name` (through the ANSI code page,
  // letter case ignored); throws "Provider not exported: <name as sent>".
  Provider& find(const WString& name);

  // The seven operations. OwnerData is never read or written.
  Variant AS_ApplyUpdates(const WString& providerName, const Variant& delta, int32_t maxErrors, int32_t& errorCount,
                          Variant& ownerData);
  Variant AS_GetRecords(const WString& providerName, int32_t count, int32_t& recsOut, int32_t options,
                        const WString& commandText, Variant& params, Variant& ownerData);
  Variant AS_DataRequest(const WString& providerName, const Variant& data);
  Variant AS_GetProviderNames();
  Variant AS_GetParams(const WString& providerName, Variant& ownerData);
  Variant AS_RowRequest(const WString& providerName, const Variant& row, int32_t requestType, Variant& ownerData);
  void AS_Execute(const WString& providerName, const WString& commandText, Variant& params, Variant& ownerData);

 private:
  std::unique_lock<std::mutex> enterUse() { return useGuard_ ? useGuard_() : std::unique_lock<std::mutex>(); }

  std::mutex lock_;  // held by each operation for its whole run
  UseGuard useGuard_;
  std::vector<std::unique_ptr<Provider>> providers_;
};

}  // namespace rvz::services
