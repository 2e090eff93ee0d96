// The argument of SetFilter on either service interface: a variant array
// whose elements 0 and 1 (counted from its lower bound) are the name of a
// dataset and the filter expression, each converted to text (Null and
// Empty give an empty text).
#pragma once

#include <string>

#include "platform/variant/variant.h"

namespace rvz::services {

struct FilterRequest {
  std::string dataset;
  std::string expression;
};

// Throws E_INVALIDARG for a value that is not a one-dimensional array of at
// least two elements.
FilterRequest readFilterRequest(const Variant& filter);

// The failure for a name that names no dataset of the object.
[[noreturn]] void throwComponentNotFound(const std::string& name);

}  // namespace rvz::services
