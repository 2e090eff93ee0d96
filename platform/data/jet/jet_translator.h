// The translator's inside view: the DDL translation.
#pragma once

#include <string>
#include <string_view>

#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_emit.h"
#include "platform/data/jet/jet_parser.h"

namespace rvz::data::jet {

// CREATE TABLE / CREATE INDEX / DROP / ALTER TABLE, read from `p` (at the
// first word) to the end of the text.
std::string translateDdl(Parser& p, Emitter& e);

}  // namespace rvz::data::jet
