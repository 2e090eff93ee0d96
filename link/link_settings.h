// The link settings: section "Connection" of RoVezevu.ini beside the
// executable, read and written one value at a time through the profile
// functions; the booleans as the server reads and writes them; and the
// process-wide slot that holds the settings file open while the
// connect-or-configure flow runs, through which SaveLinkSettings writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rvz::link {

inline constexpr std::string_view kLinkSection = "Connection";
inline constexpr std::string_view kKeyServerName = "ServerName";
inline constexpr std::string_view kKeyDatabaseName = "DatabaseName";
inline constexpr std::string_view kKeyTrustConnect = "TrustConnect";
inline constexpr std::string_view kKeyUserId = "UserId";
inline constexpr std::string_view kKeyPassword = "Password";
inline constexpr std::string_view kKeyAutoTranslate = "Auto Translate";
inline constexpr std::string_view kDefaultDatabaseName = "DaZiva";
inline constexpr std::string_view kSettingsFileName = "RoVezevu.ini";

// RoVezevu.ini in the home folder (the executable's folder).
std::string linkSettingsPath();

// An integer as the profile reader takes it: optional blanks and sign, then
// decimal digits, or "0x"/"0X" and hexadecimal digits, and nothing else.
// nullopt for anything else (a word, an empty text, an overflow).
std::optional<long long> parseProfileInteger(std::string_view text);

// A boolean value: read as an integer, non-zero is true; a missing key, an
// empty value or one that is not a number gives the default.
bool readProfileBool(std::string_view file, std::string_view section, std::string_view key, bool defaultValue);
// "1" or "0".
void writeProfileBool(std::string_view file, std::string_view section, std::string_view key, bool value);

// A profile write for a file that may hold the login password: a missing
// file is created readable and writable by its owner only, then the key is
// written (ProfileError "Unable to write to <file>" when it cannot be).
void writeLinkValue(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

// The process-wide slot of the open link settings file. Opening names the
// file; the destructor empties the slot again. Not a lock: its users
// serialise themselves (the connect-or-configure flow holds its lock for
// as long as the slot is open).
class OpenLinkSettings {
 public:
  explicit OpenLinkSettings(std::string file);
  ~OpenLinkSettings();
  OpenLinkSettings(const OpenLinkSettings&) = delete;
  OpenLinkSettings& operator=(const OpenLinkSettings&) = delete;
};

// The file in the slot; nullopt when none is open.
std::optional<std::string> openLinkSettingsFile();

// Stores a SQL Server connection string in the open link settings file
// under `section`: ServerName, DatabaseName, TrustConnect, Auto Translate
// (always 0), and, unless trusted, UserId and the scrambled Password (an
// empty password is stored empty). False, writing nothing, when no file is
// open or the string names no database. Throws ProfileError when the file
// cannot be written.
bool SaveLinkSettings(std::string_view connectionString, std::string_view section);

}  // namespace rvz::link
