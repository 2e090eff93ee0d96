// Text conversions of the platform: wide strings (UTF-16), UTF-8 and the
// server's ANSI code page 936, plus the case rules used for names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rvz::text {

// The platform's wide string: UTF-16 code units.
using WString = std::u16string;
using WStringView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed input (bad UTF-8 sequences, lone surrogates)
// becomes U+FFFD rather than failing, as the platform's converters do.
WString utf8ToWide(std::string_view utf8);
std::string wideToUtf8(WStringView wide);

// Strict UTF-8, for text that must come back byte for byte: nothing when
// the input is not well-formed UTF-8 (a bad or truncated sequence, an
// overlong form, an encoded surrogate, a value past U+10FFFF).
std::optional<WString> utf8ToWideStrict(std::string_view utf8);
bool isValidUtf8(std::string_view utf8);
// Length in UTF-16 code units (the unit Windows counts lengths in) of
// well-formed UTF-8 text; nothing when it is not well formed.
std::optional<size_t> wideLength(std::string_view utf8);
// Appends the UTF-8 form of one code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 <-> ANSI code page 936 (GBK). A character that CP936 cannot hold is
// written as '?', the way the Windows conversion replaces it; a byte sequence
// that is not valid CP936 becomes U+FFFD per undecodable byte.
std::string wideToAnsi(WStringView wide);
WString ansiToWide(std::string_view ansi);

// Shorthands through UTF-16.
std::string utf8ToAnsi(std::string_view utf8);
std::string ansiToUtf8(std::string_view ansi);

// A wide text after a trip through the ANSI code page: characters CP936
// cannot hold do not survive.
WString throughAnsi(WStringView wide);

// Case for names: Latin, Greek and Cyrillic letters (the letters that have
// case in the code page) and the fullwidth Latin ones map to their capitals
// or small letters; others stay.
char16_t upperChar(char16_t c);
WString upperCase(WStringView s);
char16_t lowerChar(char16_t c);
WString lowerCase(WStringView s);
// The same for ASCII letters only, leaving every other byte as it is.
std::string upperCaseAscii(std::string_view s);
std::string lowerCaseAscii(std::string_view s);
char lowerAsciiChar(char c);

// Case-insensitive ordering of names: <0, 0, >0, comparing the upper-cased
// code units.
int compareNoCase(WStringView a, WStringView b);
bool equalsNoCase(WStringView a, WStringView b);
int compareNoCaseUtf8(std::string_view a, std::string_view b);
bool equalsNoCaseAscii(std::string_view a, std::string_view b);

// Byte length of the longest prefix of CP936 text no longer than maxBytes
// that does not split a double-byte character.
size_t ansiPrefixLength(std::string_view ansi, size_t maxBytes);

}  // namespace rvz::text
