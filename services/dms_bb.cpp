// Building the report service object from the report catalogue, and the
// life of its datasets' borrowed connection.
#include "services/dms_bb.h"

#include "catalogue/declaration.h"
#include "platform/text/text.h"
#include "services/filter_request.h"
#include "services/live_objects.h"

namespace rvz::services {

TDatasBb::TDatasBb() : cn_(std::string(kLendingObjectName), [this](data::Connection* cn) { attach(cn); }) {
  auto& live = LiveObjects::instance();
  std::lock_guard g(live.lock());
  for (const auto& decl : catalogue::reportServiceDatasets()) {
    auto ds = std::make_unique<CatalogueDataset>(decl);
    host_.add(std::make_unique<Provider>(std::string(decl.provider), *ds, decl.updateMode));
    datasets_.push_back(std::move(ds));
  }
  host_.setUseGuard([this] { return cn_.use(); });
  componentName_ = live.acquireName("DatasBb");
  live.addPending(&cn_);
  live.resolvePending();
}

TDatasBb::~TDatasBb() {
  auto& live = LiveObjects::instance();
  std::lock_guard g(live.lock());
  live.dropPending(&cn_);
  cn_.release();
  for (auto& ds : datasets_) ds->close();
  live.releaseName(componentName_);
}

void TDatasBb::attach(data::Connection* cn) {
  for (auto& ds : datasets_) ds->setConnection(cn);
}

void TDatasBb::SetFilter(const Variant& filter) {
  FilterRequest r = readFilterRequest(filter);
  CatalogueDataset* ds = findDataset(r.dataset);
  if (!ds) throwComponentNotFound(r.dataset);
  // On an open dataset the filter takes effect at once and may read on.
  auto use = cn_.use();
  ds->query().setFilter(r.expression);
}

CatalogueDataset* TDatasBb::findDataset(std::string_view name) {
  WString wanted = text::utf8ToWide(name);
  for (auto& ds : datasets_)
    if (text::equalsNoCase(text::utf8ToWide(ds->name()), wanted)) return ds.get();
  return nullptr;
}

}  // namespace rvz::services
