// The reversible scrambling of the SQL Server login password as RoVezevu.ini
// stores it: hexadecimal digits, a random seed first, each byte of the
// password's code-page-936 form chained to the one before and mixed with a
// key. It hides the password from a casual look at the file; it is not
// encryption (the key is part of the program), so the file's permissions
// are what protects the password.
#pragma once

#include <string>
#include <string_view>

namespace rvz::link {

// The key the link settings use.
inline constexpr std::string_view kPasswordKey = "wox";

// encode true: scrambles the password (UTF-8; scrambled byte by byte in its
// CP936 form) with a fresh random seed: 2 + 2n upper-case hexadecimal
// digits for n bytes. encode false: unscrambles such digits (either letter
// case; a pair that is not hexadecimal counts as 0, an odd last character
// is ignored) and returns the password as UTF-8. Sums are reduced modulo
// 255, so a byte 0xFF comes back as 0x00. An empty key leaves each byte
// unmixed.
std::string ScramblePassword(std::string_view text, std::string_view key, bool encode);

// The byte-level forms: `bytes` is the password in the ANSI code page.
std::string scrambleBytes(std::string_view bytes, std::string_view key, unsigned char seed);
std::string unscrambleBytes(std::string_view digits, std::string_view key);

}  // namespace rvz::link
