// The backup script: for each table a "delete from" line and one insert
// line per row, written in the ANSI code page with CR LF line ends.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/query.h"

namespace rvz::maintenance {

// Reopens the dump query with a new SQL text (close, set the text, open),
// so that the owner of the query keeps its own view of it consistent.
using ReopenQuery = std::function<void(const std::string& sql)>;

// Appends the lines of one table (UTF-8) to `lines`: nothing for a table
// whose name contains "MSys" or "vi_" or is "QY3" or "QY1", nothing for a
// table without rows. The query stays open on the table, after its last row.
void DumpTableScript(data::Query& query, const ReopenQuery& reopen, std::string_view table,
                     std::vector<std::string>& lines);

// The text of one value as the script writes it (see the value forms). A
// memo or blob is written "null", or "Null" when it opens the value list.
std::string scriptValue(const data::Field& field, bool firstInLine = false);

// The script as its file holds it: every line in the ANSI code page
// followed by CR LF, no byte-order mark.
std::string scriptFileContent(const std::vector<std::string>& lines);

}  // namespace rvz::maintenance
