// Backup script lines and value forms.
#include "maintenance/backup_script.h"

#include "platform/text/text.h"

namespace rvz::maintenance {

using data::FieldKind;

namespace {

// Leading and trailing blanks and control characters go.
std::string trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

bool skipped(std::string_view table) {
  return table.find("MSys") != std::string_view::npos || table.find("vi_") != std::string_view::npos ||
         table == "QY3" || table == "QY1";
}

}  // namespace

std::string scriptValue(const data::Field& f, bool firstInLine) {
  if (f.isNull()) return "Null";
  switch (f.kind()) {
    case FieldKind::Memo:
    case FieldKind::Blob: return firstInLine ? "Null" : "null";  // the content is never written
    case FieldKind::String:
    case FieldKind::WideString:
    case FieldKind::Date:
    case FieldKind::DateTime:
    case FieldKind::Guid: {
      // Wide text reaches the file in the ANSI code page: what it cannot
      // hold is replaced as the file is written.
      return quoted(trimmed(f.textUtf8()));
    }
    case FieldKind::BCD: {
      // General format with up to four decimals.
      Variant v = f.value();
      std::string t = v.vt() == VT_CY ? v.cyValue().toString() : v.toCurrency().toString();
      return trimmed(t);
    }
    default: return trimmed(f.textUtf8());
  }
}

void DumpTableScript(data::Query& query, const ReopenQuery& reopen, std::string_view table,
                     std::vector<std::string>& lines) {
  if (skipped(table)) return;
  reopen("select * from " + std::string(table));
  if (!query.isOpen() || query.recordCount() == 0) return;
  lines.push_back("delete from " + std::string(table));
  std::string head = "insert into " + std::string(table) + "(";
  for (size_t i = 0; i < query.fieldCount(); ++i) head += (i ? "," : "") + query.field(i).name();
  head += ") ";
  for (query.first(); !query.eof(); query.next()) {
    std::string line = head;
    for (size_t i = 0; i < query.fieldCount(); ++i) line += (i ? "," : "Values(") + scriptValue(query.field(i), i == 0);
    line += ") ";
    lines.push_back(std::move(line));
    lines.emplace_back();
  }
}

std::string scriptFileContent(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += text::utf8ToAnsi(l);
    out += "\r\n";
  }
  return out;
}

}  // namespace rvz::maintenance
