// The text of a profile (INI) file as the Windows profile functions read
// and edit it: lookups of one key, and the edit that writes one key while
// keeping every other line as it was. The text is the file's bytes in the
// ANSI code page; names given here are in that code page too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rvz::profile {

// The raw value of `key` in the first section named `section`, both
// compared without regard to letter case: the text after the first "=" of
// the first line of that key, blanks around it removed and one pair of
// matching single or double quotes around it dropped. nullopt when the
// section or the key is missing.
//
// Lines are those of the Windows reader: a section starts at a line whose
// first non-blank character is "[" and is named by the text up to "]";
// a key line is "name=value" with blanks around the name ignored; lines
// that start with ";" and lines without "=" are no keys.
std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key);

// The text with `key` of `section` set to `value`: the key's first line is
// replaced (keeping its spelling of the name and its line end); a missing
// key is added after the last non-blank line of the section; a missing
// section is added at the end with the key. New lines end as the text's
// first line does, CR LF when there is none.
std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

}  // namespace rvz::profile
