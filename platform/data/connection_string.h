// OLE DB connection strings: "Key=Value" items joined by ";", read with the
// OLE DB quoting rules, and their password-free form for messages.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rvz::data {

struct ConnectionStringItem {
  std::string key;    // as written, trimmed
  std::string value;  // quotes removed, doubled quotes undone
};

class ConnectionString {
 public:
  // Reads a connection string (UTF-8):
  //  - items are separated by ";"; empty items are skipped;
  //  - a key ends at the first single "="; "==" in a key stands for "=";
  //    keys are trimmed and compared without regard to case;
  //  - a value is trimmed; one that starts with a double or single quote
  //    runs to the matching closing quote, with the quote doubled inside
  //    standing for itself, so `""` is an empty value and `"a;b"` keeps its
  //    ";"; only blanks may follow the closing quote;
  //  - when a key occurs twice, the last value counts.
  // Throws DataError naming the position (1-based character) and what was
  // expected there.
  static ConnectionString parse(std::string_view text);

  const std::vector<ConnectionStringItem>& items() const { return items_; }
  std::optional<std::string> find(std::string_view key) const;
  std::string value(std::string_view key) const { return find(key).value_or(std::string()); }
  bool has(std::string_view key) const { return find(key).has_value(); }
  // Sets a key's value, replacing the item of that key or adding one.
  void set(std::string_view key, std::string value);

  // The items written back, quoted where a value needs it.
  std::string toString() const;
  // The same without password items.
  std::string toRedactedString() const;

 private:
  std::vector<ConnectionStringItem> items_;
};

// Writes "Key=Value" items joined by ";", quoting a value that holds ";",
// quotes or outer blanks (and an empty one as ""), so that no value can add
// or change another key.
std::string composeConnectionString(std::initializer_list<std::pair<std::string_view, std::string_view>> items);

// The connection string of a Jet database file with its database password:
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<file>;Persist Security
// Info=False;Jet OLEDB:Database Password=<password>".
std::string jetConnectionString(std::string_view file, std::string_view password);

// True for keys whose values are secrets: "Password", "Pwd" and every key
// ending in "Password" ("Jet OLEDB:Database Password"), in any letter case.
bool isPasswordKey(std::string_view key);

// A connection string fit for a message or a log: its password items cut
// out. A string that cannot be read is shown only up to the first place
// where a password could start. Never throws.
std::string redactConnectionString(std::string_view text);

}  // namespace rvz::data
