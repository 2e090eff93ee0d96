// The registry entries through which clients find Quib.datas and
// Quib.DatasBb: writing and removing them in the hive.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/registry/hive.h"

namespace rvz::host {

class RegistrationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kAppServerCategory = "{13E85B3C-9508-11D2-AB63-00C04FA35CFA}";
// There is no category manager to take the middleware's own wording from,
// so the category carries a plain description of ours.
inline constexpr const char* kAppServerCategoryText = "Application Servers";

// The LocalServer32 form of an executable path: there are no short names
// here, so a path with a blank is quoted instead.
std::string localServerCommand(const std::filesystem::path& exe);

// The type library, then DatasBb and datas. A key or value that cannot be
// written is a RegistrationError "Error creating system registry entry";
// `ignoreClassFailures` lets the class keys fail quietly.
void writeRegistration(registry::Hive& hive, const std::filesystem::path& exe, bool ignoreClassFailures);

// Non-recursive deletes whose failures are ignored; the category stays.
void removeRegistration(registry::Hive& hive);

}  // namespace rvz::host
