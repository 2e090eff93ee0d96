// The table of providers by name; the Jet provider on SQLite and the SQL
// Server provider on PostgreSQL are built in.
#include <mutex>

#include "platform/data/driver.h"
#include "platform/data/pg/pg_provider.h"
#include "platform/data/sqlite/sqlite_provider.h"
#include "platform/text/text.h"

namespace rvz::data {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<Provider>> providers{sqlite::makeJetProvider(), pg::makeSqlServerProvider()};
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

Provider* findProvider(std::string_view name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (auto it = r.providers.rbegin(); it != r.providers.rend(); ++it)
    if (text::equalsNoCaseAscii((*it)->name(), name)) return it->get();
  return nullptr;
}

void registerProvider(std::shared_ptr<Provider> provider) {
  if (!provider) return;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.providers.push_back(std::move(provider));
}

}  // namespace rvz::data
