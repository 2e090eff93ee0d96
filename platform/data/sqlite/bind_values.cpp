// Values of the provider seam's storage classes bound to SQLite markers.
#include "platform/data/sqlite/bind_values.h"

#include <sqlite3.h>

#include <string>

#include "platform/data/data_error.h"

namespace rvz::data::sqlite {

int bindValues(sqlite3_stmt* stmt, std::span<const BoundValue> values) {
  const int markers = sqlite3_bind_parameter_count(stmt);
  if (static_cast<size_t>(markers) > values.size())
    throw DataError::engine(kErrTooFewParameters, std::string(kTooFewParametersText) + " The command has " +
                                                      std::to_string(markers) + " parameter markers, " +
                                                      std::to_string(values.size()) + " values were given.");
  for (int k = 0; k < markers; ++k) {
    const BoundValue& v = values[static_cast<size_t>(k)];
    int rc = SQLITE_OK;
    switch (v.cls) {
      case StorageClass::Null: rc = sqlite3_bind_null(stmt, k + 1); break;
      case StorageClass::Integer: rc = sqlite3_bind_int64(stmt, k + 1, v.i); break;
      case StorageClass::Real: rc = sqlite3_bind_double(stmt, k + 1, v.r); break;
      case StorageClass::Text:
        rc = sqlite3_bind_text64(stmt, k + 1, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      case StorageClass::Blob:
        rc = sqlite3_bind_blob64(stmt, k + 1, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace rvz::data::sqlite
