// Compaction through the provider of the source connection string.
#include "platform/data/compaction.h"

#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/driver.h"
#include "platform/text/text.h"

namespace rvz::data {

namespace {
Provider& providerOf(const ConnectionString& cs, const char* role) {
  std::string name = cs.value("Provider");
  if (name.empty())
    throw DataError::component(kErrProviderNotFound,
                               std::string("Provider cannot be found. It may not be properly installed: the ") + role +
                                   " connection string names no Provider.");
  Provider* p = findProvider(name);
  if (!p)
    throw DataError::component(kErrProviderNotFound,
                               "Provider cannot be found. It may not be properly installed: '" + name + "'.");
  return *p;
}
}  // namespace

void compactDatabase(std::string_view sourceText, std::string_view destinationText) {
  ConnectionString source = ConnectionString::parse(sourceText);
  ConnectionString destination = ConnectionString::parse(destinationText);
  Provider& provider = providerOf(source, "source");
  if (destination.has("Provider")) {
    Provider& other = providerOf(destination, "destination");
    if (&other != &provider)
      throw DataError::component(kErrProviderNotFound, "Cannot compact from provider '" + std::string(provider.name()) +
                                                           "' into provider '" + std::string(other.name()) + "'.");
  }
  provider.compact(source, destination);
}

}  // namespace rvz::data
