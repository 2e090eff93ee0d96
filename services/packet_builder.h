// How a dataset's fields become packet columns and its values packet
// values: the column list of a provider and the served form of each value.
#pragma once

#include <vector>

#include "catalogue/binding.h"
#include "platform/data/query.h"
#include "platform/packets/packet_writer.h"

namespace rvz::services {

// The metadata column of a field: type, size, attribute bits, optional
// attributes. Fails with "Field name cannot be longer then 31 characters.
// Try setting ObjectView to True on the dataset" for a long name.
packets::Column columnOf(const catalogue::BoundField& field);
std::vector<packets::Column> columnsOf(const std::vector<catalogue::BoundField>& fields);

// The key fields' 1-based positions, for PRIMARY_KEY.
std::vector<uint16_t> primaryKeyOf(const std::vector<catalogue::BoundField>& fields);

// A column as a packet without metadata describes it: name, type, width and
// subtype only, so that the rows can be read but no attribute is sent.
packets::Column bareColumn(const packets::Column& c);

bool isLongField(const catalogue::BoundField& f);  // memo and blob: fetched on demand

// Writes the value a field serves for a column value (Null as null).
void putServedValue(packets::PacketWriter& w, const catalogue::BoundField& field, const Variant& value);

// Writes the value a field serves for the query's current row: the common
// cases straight from the stored value, the rest through a variant.
void putServedCell(packets::PacketWriter& w, const catalogue::BoundField& field, const data::Query& query);

}  // namespace rvz::services
