// The byte form of a variant, as it crosses the wire: a little-endian kind
// tag followed by the value; arrays carry their bounds and elements.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace rvz {

struct VariantWireLimits {
  size_t maxDepth = 32;       // arrays of arrays nested this deep at most
  size_t maxDimensions = 16;  // SAFEARRAY dimensions
};

// Appends the byte form of v to out.
void encodeVariant(const Variant& v, std::string& out);
std::string encodeVariant(const Variant& v);

// Appends the byte form of an array variant up to its elements (kind,
// dimension count, bounds): what a writer that sends the elements from
// where they lie puts before them.
void encodeArrayHead(const Variant& v, std::string& out);

// Reads one variant from the whole of `bytes`; trailing bytes are an error.
// Throws VariantError (kEInvalidArg) naming what is wrong on truncated,
// corrupt or oversized input.
Variant decodeVariant(std::string_view bytes, const VariantWireLimits& limits = {});

}  // namespace rvz
