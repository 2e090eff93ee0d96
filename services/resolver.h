// The update machinery of a provider: turns each change record of a delta
// into one INSERT, UPDATE or DELETE with positional parameters, runs them in
// delta order inside one transaction, checks every row count and reports
// failed records in an error packet.
#pragma once

#include <string>
#include <vector>

#include "platform/data/field_kind.h"
#include "platform/variant/variant.h"

namespace rvz::services {

class Provider;

// Texts of failed records.
inline constexpr std::string_view kNoTableText = "Unable to resolve records.  Table name not found.";
inline constexpr std::string_view kNoKeyText = "Unable to find record.  No key specified";
inline constexpr std::string_view kNotFoundText = "Record not found or changed by another user";
inline constexpr std::string_view kTooManyText = "Update affected more than 1 record.";

// A statement as the resolver builds it: its text, each line followed by
// CR LF, and one typed value per "?".
struct ResolverStatement {
  std::string text;
  std::vector<data::Parameter> params;
  // Empties it, keeping the room it has for the next statement.
  void clear() {
    text.clear();
    params.clear();
  }
  // Appends one line: the parts, then CR LF.
  template <class... Parts>
  void line(const Parts&... parts) {
    (text.append(parts), ...);
    text.append("\r\n");
  }
};

class Resolver {
 public:
  explicit Resolver(Provider& provider) : provider_(&provider) {}

  // AS_ApplyUpdates on the provider's dataset: the error packet, or null
  // when no record failed; errorCount is the number of failed records.
  Variant apply(const Variant& delta, int32_t maxErrors, int32_t& errorCount);

 private:
  Provider* provider_;
};

}  // namespace rvz::services
