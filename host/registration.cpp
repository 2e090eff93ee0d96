// Writing and removing the class registration in the hive.
#include "host/registration.h"

#include <string_view>

#include "platform/remoting/type_library.h"
#include "services/quib_type_library.h"

namespace rvz::host {

namespace {

constexpr const char* kRegistryError = "Error creating system registry entry";

void put(registry::Hive& hive, const std::string& key, std::string_view name, std::string_view data) {
  try {
    hive.setValue(key, name, data);
  } catch (const std::exception&) {
    throw RegistrationError(kRegistryError);
  }
}

void makeKey(registry::Hive& hive, const std::string& key) {
  try {
    hive.createKey(key);
  } catch (const std::exception&) {
    throw RegistrationError(kRegistryError);
  }
}

void dropKey(registry::Hive& hive, const std::string& key) {
  try {
    hive.deleteKey(key);
  } catch (const std::exception&) {
  }
}

void dropValue(registry::Hive& hive, const std::string& key, std::string_view name) {
  try {
    hive.deleteValue(key, name);
  } catch (const std::exception&) {
  }
}

std::string typeLibKey() {
  const auto& lib = services::quibTypeLibrary();
  return "TypeLib\\" + std::string(lib.libid) + "\\" + std::to_string(lib.major) + "." + std::to_string(lib.minor);
}

void writeClass(registry::Hive& hive, const remoting::ClassDesc& cls, const std::filesystem::path& exe) {
  const auto& lib = services::quibTypeLibrary();
  const std::string clsid(cls.clsid), progId(cls.progId), doc(cls.doc);
  const std::string key = "CLSID\\" + clsid;
  put(hive, key, "", doc);
  put(hive, key + "\\LocalServer32", "", localServerCommand(exe));
  put(hive, progId, "", doc);
  put(hive, progId + "\\Clsid", "", clsid);
  put(hive, key + "\\ProgID", "", progId);
  put(hive, key + "\\Version", "", std::to_string(lib.major) + "." + std::to_string(lib.minor));
  put(hive, key + "\\TypeLib", "", std::string(lib.libid));
  put(hive, std::string("Component Categories\\") + kAppServerCategory, "409", kAppServerCategoryText);
  makeKey(hive, key + "\\Implemented Categories\\" + kAppServerCategory);
  std::string description;
  try {
    description = hive.value(key, "").value_or("");
  } catch (const std::exception&) {
    throw RegistrationError(kRegistryError);
  }
  put(hive, "AppID\\" + clsid, "", description);
  put(hive, key, "AppID", clsid);
  put(hive, key, "Sockets", "1");
  put(hive, key, "Web", "1");
}

void removeClass(registry::Hive& hive, const remoting::ClassDesc& cls) {
  const std::string clsid(cls.clsid), progId(cls.progId);
  const std::string key = "CLSID\\" + clsid;
  dropValue(hive, key, "Sockets");
  dropValue(hive, key, "Web");
  dropKey(hive, key + "\\Implemented Categories\\" + kAppServerCategory);
  dropKey(hive, key + "\\Implemented Categories");
  dropKey(hive, "AppID\\" + clsid);
  dropKey(hive, key + "\\TypeLib");
  dropKey(hive, key + "\\Version");
  dropKey(hive, key + "\\ProgID");
  dropKey(hive, progId + "\\Clsid");
  dropKey(hive, progId);
  dropKey(hive, key + "\\LocalServer32");
  dropKey(hive, key);
}

}  // namespace

std::string localServerCommand(const std::filesystem::path& exe) {
  std::string s = exe.string();
  if (s.find(' ') != std::string::npos) return "\"" + s + "\"";
  return s;
}

void writeRegistration(registry::Hive& hive, const std::filesystem::path& exe, bool ignoreClassFailures) {
  // The library entry stands in for the platform's type library registration:
  // its failure always stops the start.
  const auto& lib = services::quibTypeLibrary();
  const std::string lk = typeLibKey();
  put(hive, lk, "", std::string(lib.helpString));
  put(hive, lk + "\\0\\win32", "", exe.string());
  put(hive, lk + "\\FLAGS", "", "0");
  put(hive, lk + "\\HELPDIR", "", exe.parent_path().string());
  for (const auto* cls : {&services::datasBbClass(), &services::datasClass()}) {
    try {
      writeClass(hive, *cls, exe);
    } catch (const RegistrationError&) {
      if (!ignoreClassFailures) throw;
    }
  }
}

void removeRegistration(registry::Hive& hive) {
  const std::string lk = typeLibKey();
  dropKey(hive, lk + "\\0\\win32");
  dropKey(hive, lk + "\\0");
  dropKey(hive, lk + "\\FLAGS");
  dropKey(hive, lk + "\\HELPDIR");
  dropKey(hive, lk);
  dropKey(hive, "TypeLib\\" + std::string(services::quibTypeLibrary().libid));
  dropKey(hive, "TypeLib");
  for (const auto* cls : {&services::datasBbClass(), &services::datasClass()}) removeClass(hive, *cls);
  dropKey(hive, "AppID");
  dropKey(hive, "CLSID");
}

}  // namespace rvz::host
