// Reading and editing INI text line by line, double-byte aware: in CP936 a
// trail byte can equal "[" or "]", so the text is scanned one character,
// not one byte, at a time.
#include "platform/profile/ini_text.h"

#include <vector>

#include "platform/text/text.h"

namespace rvz::profile {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Position of the single-byte character `c` in CP936 text, or npos.
size_t findChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (s[i] == c) return i;
    if (b >= 0x81 && b <= 0xFE && i + 1 < s.size()) ++i;
  }
  return std::string_view::npos;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && text::equalsNoCaseAscii(a, b)) return true;
  return text::equalsNoCase(text::ansiToWide(a), text::ansiToWide(b));
}

struct Line {
  size_t start;  // first byte
  size_t end;    // end of the content, before "\r\n" or "\n"
  size_t next;   // start of the next line
  enum Kind { Other, Section, Key } kind = Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    Line line;
    line.start = pos;
    line.next = nl == std::string_view::npos ? text.size() : nl + 1;
    line.end = nl == std::string_view::npos ? text.size() : nl;
    // Only a CR before the LF belongs to the line end: a lone CR, even the
    // file's last byte, is content, so that a rewrite keeps one line end.
    if (nl != std::string_view::npos && line.end > line.start && text[line.end - 1] == '\r') --line.end;
    std::string_view content = trim(text.substr(line.start, line.end - line.start));
    if (!content.empty() && content.front() == '[') {
      line.kind = Line::Section;
      std::string_view rest = content.substr(1);
      size_t close = findChar(rest, ']');
      line.name = trim(rest.substr(0, close));
    } else if (!content.empty() && content.front() != ';') {
      size_t eq = findChar(content, '=');
      if (eq != std::string_view::npos) {
        line.kind = Line::Key;
        line.name = trim(content.substr(0, eq));
        line.value = trim(content.substr(eq + 1));
      }
    }
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// Index range [first, last) of the lines of the first section of that name
// (the header excluded), or first == npos.
struct SectionRange {
  size_t header = std::string_view::npos;
  size_t last = 0;
};

SectionRange findSection(const std::vector<Line>& lines, std::string_view section) {
  SectionRange r;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::Section) continue;
    if (r.header != std::string_view::npos) {
      r.last = i;
      return r;
    }
    if (sameName(lines[i].name, section)) r.header = i;
  }
  r.last = lines.size();
  return r;
}

std::string_view unquoted(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// The line end of the text's first line: "\r\n" or "\n"; "\r\n" when the
// first line has none (a "\r" alone ends no line).
std::string_view lineEnd(std::string_view text, const std::vector<Line>& lines) {
  if (!lines.empty() && lines[0].next > 0 && text[lines[0].next - 1] == '\n')
    return text.substr(lines[0].end, lines[0].next - lines[0].end);
  return "\r\n";
}

// Ends a last line that has no line end. A lone CR there is content: "\n"
// after it would turn it into a CR LF line end and change what the line
// says (a "[Section\r" line would become the section "Section").
void endLastLine(std::string& out, const std::string& eol) {
  out += !out.empty() && out.back() == '\r' ? std::string("\r\n") : eol;
}

}  // namespace

std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key) {
  auto lines = splitLines(text);
  SectionRange r = findSection(lines, section);
  if (r.header == std::string_view::npos) return std::nullopt;
  for (size_t i = r.header + 1; i < r.last; ++i)
    if (lines[i].kind == Line::Key && sameName(lines[i].name, key)) return std::string(unquoted(lines[i].value));
  return std::nullopt;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  auto lines = splitLines(text);
  std::string eol(lineEnd(text, lines));
  SectionRange r = findSection(lines, section);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  if (r.header == std::string_view::npos) {
    out.append(text);
    if (!out.empty() && out.back() != '\n') endLastLine(out, eol);
    out += '[';
    out.append(section);
    out += ']';
    out += eol;
    out.append(key);
    out += '=';
    out.append(value);
    out += eol;
    return out;
  }

  for (size_t i = r.header + 1; i < r.last; ++i) {
    const Line& l = lines[i];
    if (l.kind == Line::Key && sameName(l.name, key)) {
      // From the name on, so that the line keeps its indentation.
      out.append(text.substr(0, static_cast<size_t>(l.name.data() - text.data())));
      out.append(l.name);
      out += '=';
      out.append(value);
      out.append(text.substr(l.end));
      return out;
    }
  }

  // After the section's last non-blank line, so that a blank line that
  // separates it from the next section stays in place.
  size_t after = r.header;
  for (size_t i = r.header + 1; i < r.last; ++i)
    if (!trim(text.substr(lines[i].start, lines[i].end - lines[i].start)).empty()) after = i;
  const Line& l = lines[after];
  out.append(text.substr(0, l.next));
  if (l.next == 0 || text[l.next - 1] != '\n') endLastLine(out, eol);  // the last line had no line end
  out.append(key);
  out += '=';
  out.append(value);
  out += eol;
  out.append(text.substr(l.next));
  return out;
}

}  // namespace rvz::profile
