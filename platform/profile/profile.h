// The Windows profile functions on INI files (GetPrivateProfileStringA,
// WritePrivateProfileStringA) and the computer name (GetComputerNameA).
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rvz::profile {

// A profile write that failed. what() is the text the system shows,
// "Unable to write to <file name>"; cause() says why.
class ProfileError : public std::runtime_error {
 public:
  ProfileError(const std::string& what, std::string cause) : std::runtime_error(what), cause_(std::move(cause)) {}
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

// The buffer the server reads every profile value into, terminating zero
// included: a value holds at most 2047 bytes of ANSI text.
inline constexpr size_t kProfileBufferSize = 2048;

// GetPrivateProfileStringA. Names and texts are UTF-8 here; the file holds
// them in the ANSI code page (CP936). `fileName` is a Windows-style path
// resolved with files::resolvePath. Section and key names match without
// regard to letter case. Returns the key's value, or `defaultValue` (with
// trailing blanks removed, as Windows does) when the file, the section or
// the key is missing or the file cannot be read; a key present with an
// empty value reads as "". Either result is cut to bufferSize - 1 bytes of
// ANSI text, never in the middle of a double-byte character.
std::string getPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName, size_t bufferSize = kProfileBufferSize);

// WritePrivateProfileStringA: sets the key, creating the file and the
// section when they are missing and keeping every other line of the file as
// it was. Characters that CP936 cannot hold are written as "?". Throws
// ProfileError "Unable to write to <fileName>" when the file cannot be
// written (read-only file or folder, missing folder), or when a name or the
// value holds a line break (which would break the file's lines), or the
// section name a "]" or the key name a "=".
void writePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName);

// GetComputerNameA: the NetBIOS name of this machine, that is the host
// name up to its first ".", upper-cased and cut to 15 characters; nullopt
// when the host name cannot be read or is empty.
std::optional<std::string> getComputerName();

// The NetBIOS form of a host name, as getComputerName makes it.
std::string netbiosName(std::string_view hostName);

}  // namespace rvz::profile
