// The common frame of the provider operations.
#include "services/provider_host.h"

#include <algorithm>

#include "platform/remoting/error_info.h"
#include "platform/text/text.h"

namespace rvz::services {

Provider& ProviderHost::find(const WString& name) {
  WString wanted = text::throughAnsi(name);
  for (auto& p : providers_)
    if (p->exported() && text::equalsNoCase(text::utf8ToWide(p->name()), wanted)) return *p;
  throw ComError(E_FAIL, "Provider not exported: " + text::wideToUtf8(name));
}

Variant ProviderHost::AS_ApplyUpdates(const WString& providerName, const Variant& delta, int32_t maxErrors,
                                      int32_t& errorCount, Variant&) {
  std::lock_guard g(lock_);
  auto use = enterUse();
  return find(providerName).applyUpdates(delta, maxErrors, errorCount);
}

Variant ProviderHost::AS_GetRecords(const WString& providerName, int32_t count, int32_t& recsOut, int32_t options,
                                    const WString& commandText, Variant& params, Variant&) {
  std::lock_guard g(lock_);
  auto use = enterUse();
  return find(providerName).getRecords(count, recsOut, options, commandText, params);
}

Variant ProviderHost::AS_DataRequest(const WString& providerName, const Variant&) {
  std::lock_guard g(lock_);
  find(providerName);
  return Variant::null();
}

Variant ProviderHost::AS_GetProviderNames() {
  std::lock_guard g(lock_);
  std::vector<WString> names;
  for (const auto& p : providers_)
    if (p->exported()) names.push_back(text::utf8ToWide(p->name()));
  if (names.empty()) return Variant::null();
  std::stable_sort(names.begin(), names.end(),
                   [](const WString& a, const WString& b) { return text::compareNoCase(a, b) < 0; });
  SafeArray a = SafeArray::vector(VT_VARIANT, static_cast<uint32_t>(names.size()));
  for (size_t i = 0; i < names.size(); ++i) a.set(i, Variant(std::move(names[i])));
  return Variant(std::move(a));
}

Variant ProviderHost::AS_GetParams(const WString& providerName, Variant&) {
  std::lock_guard g(lock_);
  auto use = enterUse();
  return find(providerName).getParams();
}

Variant ProviderHost::AS_RowRequest(const WString& providerName, const Variant& row, int32_t requestType, Variant&) {
  std::lock_guard g(lock_);
  auto use = enterUse();
  return find(providerName).rowRequest(row, requestType);
}

void ProviderHost::AS_Execute(const WString& providerName, const WString& commandText, Variant& params, Variant&) {
  std::lock_guard g(lock_);
  auto use = enterUse();
  find(providerName).execute(commandText, params);
}

}  // namespace rvz::services
