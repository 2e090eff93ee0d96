// The conversion functions of values written into columns, one per Jet
// type, registered as jet_store_<type>.
#include "platform/data/jet/jet_store.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/data/jet/jet_convert.h"
#include "platform/data/jet/jet_dates.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

struct StoreDef {
  JetType type;
  const char* name;
};

constexpr StoreDef kStores[] = {
    {JetType::Boolean, "jet_store_boolean"},   {JetType::Byte, "jet_store_byte"},
    {JetType::Integer, "jet_store_integer"},   {JetType::Long, "jet_store_long"},
    {JetType::Single, "jet_store_single"},     {JetType::Double, "jet_store_double"},
    {JetType::Currency, "jet_store_currency"}, {JetType::Decimal, "jet_store_decimal"},
    {JetType::DateTime, "jet_store_datetime"},
};

// Why a value cannot be written; the text reaches the engine's message.
struct Refusal {
  std::string_view text;
};
[[noreturn]] void mismatch() { throw Refusal{kStoreMismatchText}; }
[[noreturn]] void overflow() { throw Refusal{kStoreOverflowText}; }

std::string_view textOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// A text written into a numeric column: a number, or a date (dates are
// stored as text, and Jet writes a date into a number as its serial).
double numberOfText(std::string_view s) {
  double d = 0;
  if (parseNumber(s, d)) return d;
  if (std::optional<Stamp> st = parseDateText(s)) return toOleDate(*st);
  mismatch();
}

double numberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT: return numberOfText(textOf(v));
    default: mismatch();  // binary data
  }
}

void storeWhole(sqlite3_context* ctx, sqlite3_value* v, int64_t lo, int64_t hi) {
  int64_t n = 0;
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    n = sqlite3_value_int64(v);
  } else {
    // Rounded half to even, as Jet rounds into an integer column.
    double r = std::nearbyint(numberOf(v));
    if (!std::isfinite(r) || r < static_cast<double>(lo) - 0.5 || r > static_cast<double>(hi) + 0.5) overflow();
    n = static_cast<int64_t>(r);
  }
  if (n < lo || n > hi) overflow();
  sqlite3_result_int64(ctx, n);
}

// A number for a column of fixed scale: whole numbers as integers (as the
// values bound by the provider are), others as reals.
void storeScaled(sqlite3_context* ctx, double d) {
  if (std::nearbyint(d) == d && std::fabs(d) < 9007199254740992.0)
    sqlite3_result_int64(ctx, static_cast<int64_t>(d));
  else
    sqlite3_result_double(ctx, d);
}

void storeBoolean(sqlite3_context* ctx, sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    std::string_view raw = textOf(v);
    const size_t from = raw.find_first_not_of(" \t"), to = raw.find_last_not_of(" \t");
    std::string t =
        from == std::string_view::npos ? std::string() : text::lowerCaseAscii(raw.substr(from, to - from + 1));
    if (t == "true" || t == "yes" || t == "on") return sqlite3_result_int64(ctx, -1);
    if (t == "false" || t == "no" || t == "off") return sqlite3_result_int64(ctx, 0);
  }
  sqlite3_result_int64(ctx, numberOf(v) != 0 ? -1 : 0);
}

void storeDate(sqlite3_context* ctx, sqlite3_value* v) {
  std::optional<Stamp> st;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: st = fromOleDate(sqlite3_value_double(v)); break;
    case SQLITE_TEXT: {
      std::string_view s = textOf(v);
      st = parseDateText(s);
      double serial = 0;
      if (!st && parseNumber(s, serial)) st = fromOleDate(serial);
      break;
    }
    default: break;
  }
  if (!st) mismatch();
  std::string stored = formatStored(*st);
  sqlite3_result_text64(ctx, stored.data(), stored.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void store(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc != 1) return sqlite3_result_error(ctx, "a stored value takes one argument", -1);
  sqlite3_value* v = argv[0];
  if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto* def = static_cast<const StoreDef*>(sqlite3_user_data(ctx));
  try {
    switch (def->type) {
      case JetType::Boolean: return storeBoolean(ctx, v);
      case JetType::Byte: return storeWhole(ctx, v, 0, 255);
      case JetType::Integer: return storeWhole(ctx, v, -32768, 32767);
      case JetType::Long: return storeWhole(ctx, v, -2147483648LL, 2147483647LL);
      case JetType::DateTime: return storeDate(ctx, v);
      default: break;
    }
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
      const int64_t n = sqlite3_value_int64(v);
      if (def->type == JetType::Currency && (n > 922337203685477LL || n < -922337203685477LL)) overflow();
      return sqlite3_result_int64(ctx, n);
    }
    const double d = numberOf(v);
    if (!std::isfinite(d)) overflow();
    switch (def->type) {
      case JetType::Single:
        if (std::fabs(d) > 3.402823466e38) overflow();
        return sqlite3_result_double(ctx, d);
      case JetType::Currency:
        if (std::fabs(d) > 922337203685477.5807) overflow();
        return storeScaled(ctx, d);
      case JetType::Decimal: return storeScaled(ctx, d);
      default: return sqlite3_result_double(ctx, d);
    }
  } catch (const Refusal& r) {
    sqlite3_result_error(ctx, r.text.data(), static_cast<int>(r.text.size()));
  }
}

}  // namespace

std::string_view storeFunction(JetType t) {
  for (const StoreDef& s : kStores)
    if (s.type == t) return s.name;
  return {};
}

void installStoreFunctions(sqlite3* db) {
  for (const StoreDef& s : kStores) {
    int rc = sqlite3_create_function_v2(db, s.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, const_cast<StoreDef*>(&s),
                                        store, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
      throw std::runtime_error(std::string("Jet functions: cannot install ") + s.name + ": " + sqlite3_errstr(rc));
  }
}

}  // namespace rvz::data::jet
