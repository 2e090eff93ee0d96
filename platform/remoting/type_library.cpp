// The type library tables: IAppServer as the data-packet library publishes
// it, and the library Quib with Idatas, datas, IDatasBb and DatasBb.
#include "platform/remoting/type_library.h"

#include <array>

#include "platform/text/text.h"

namespace rvz::remoting {

namespace {

using D = ParamDir;

// IAppServer, with the dispatch ids of the data-packet library.
constexpr ParamDesc kApplyUpdates[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Delta", VT_VARIANT, D::In},
    {"MaxErrors", VT_I4, D::In},
    {"ErrorCount", VT_I4, D::Out, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kGetRecords[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Count", VT_I4, D::In},
    {"RecsOut", VT_I4, D::Out, true},
    {"Options", VT_I4, D::In},
    {"CommandText", VT_BSTR, D::In},
    {"Params", VT_VARIANT, D::InOut, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kDataRequest[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Data", VT_VARIANT, D::In},
};
constexpr ParamDesc kGetParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kRowRequest[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Row", VT_VARIANT, D::In},
    {"RequestType", VT_I4, D::In},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kExecute[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"CommandText", VT_BSTR, D::In},
    {"Params", VT_VARIANT, D::InOut, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};

constexpr MethodDesc kAppServerMethods[] = {
    {"AS_ApplyUpdates", 20000000, kApplyUpdates, VT_VARIANT},
    {"AS_GetRecords", 20000001, kGetRecords, VT_VARIANT},
    {"AS_DataRequest", 20000002, kDataRequest, VT_VARIANT},
    {"AS_GetProviderNames", 20000003, {}, VT_VARIANT},
    {"AS_GetParams", 20000004, kGetParams, VT_VARIANT},
    {"AS_RowRequest", 20000005, kRowRequest, VT_VARIANT},
    {"AS_Execute", 20000006, kExecute, VT_EMPTY},
};

constexpr InterfaceDesc kAppServer{"IAppServer", "{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D}", "", nullptr,
                                   kAppServerMethods};

// Idatas and IDatasBb.
constexpr ParamDesc kSetFilter[] = {{"Filter", VT_VARIANT, D::In}};
constexpr ParamDesc kConnectAct[] = {
    {"DataBaseType", VT_I4, D::In, true},
    {"ServerName", VT_BSTR, D::In},
    {"DataBaseName", VT_BSTR, D::In},
    {"User", VT_BSTR, D::In},
    {"Password", VT_BSTR, D::In},
};
constexpr ParamDesc kCompactDatabase[] = {
    {"DBName", VT_BSTR, D::In, true},
    {"DBPassword", VT_BSTR, D::In, true},
};
constexpr ParamDesc kBackupData[] = {{"ZTName", VT_BSTR, D::In, true}};

constexpr MethodDesc kIdatasMethods[] = {
    {"SetFilter", 1, kSetFilter, VT_EMPTY},
    {"GetAccounts", 2, {}, VT_I4},
    {"ConnectAct", 301, kConnectAct, VT_I4},
    {"GetServerDate", 302, {}, VT_BSTR},
    {"GetServerDateTime", 305, {}, VT_BSTR},
    {"GetTableNames", 306, {}, VT_BSTR},
    {"CompactDatabase", 307, kCompactDatabase, VT_I4},
    {"BackupData", 308, kBackupData, VT_I4},
};
constexpr MethodDesc kIDatasBbMethods[] = {
    {"SetFilter", 1, kSetFilter, VT_EMPTY},
};

constexpr InterfaceDesc kIdatas{"Idatas", "{6CDC8BB8-C5BD-4373-86E8-E4083A998F7B}",
                                "Dispatch interface for datas Object", &kAppServer, kIdatasMethods};
constexpr InterfaceDesc kIDatasBb{"IDatasBb", "{80DDCF97-D60D-4375-9289-38D868C06C37}",
                                  "Dispatch interface for DatasBb Object", &kAppServer, kIDatasBbMethods};

constexpr ClassDesc kDatas{"datas", "{0F07C1B3-6416-4C24-9D45-1C732B9E9BA3}", "Quib Object", "Quib.datas", &kIdatas};
constexpr ClassDesc kDatasBb{"DatasBb", "{AE6D884A-2BCC-4076-A139-95FBCE743056}", "DatasBb Object", "Quib.DatasBb",
                             &kIDatasBb};

constexpr const InterfaceDesc* kQuibInterfaces[] = {&kIdatas, &kIDatasBb};
constexpr const ClassDesc* kQuibClasses[] = {&kDatas, &kDatasBb};

constexpr TypeLibraryDesc kQuib{"Quib", "{2BEEF3E7-D166-4BDC-8D70-3F8330F7A0E4}", "Quib Library", 1, 0,
                                kQuibInterfaces, kQuibClasses};

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

std::optional<std::string> canonicalGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  std::string out = "{";
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !isHex(c)) return std::nullopt;
    out += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 0x20) : c;
  }
  out += '}';
  return out;
}

std::optional<int32_t> MethodDesc::paramIndex(std::string_view n) const {
  for (size_t i = 0; i < params.size(); ++i)
    if (text::equalsNoCaseAscii(params[i].name, n)) return static_cast<int32_t>(i);
  return std::nullopt;
}

const MethodDesc* InterfaceDesc::findMethod(int32_t dispid) const {
  for (const InterfaceDesc* i = this; i; i = i->base)
    for (const auto& m : i->methods)
      if (m.dispid == dispid) return &m;
  return nullptr;
}

const MethodDesc* InterfaceDesc::findMethod(std::string_view n) const {
  for (const InterfaceDesc* i = this; i; i = i->base)
    for (const auto& m : i->methods)
      if (text::equalsNoCaseAscii(m.name, n)) return &m;
  return nullptr;
}

bool InterfaceDesc::derivesFrom(std::string_view other) const {
  auto want = canonicalGuid(other);
  if (!want) return false;
  for (const InterfaceDesc* i = this; i; i = i->base)
    if (i->iid == *want) return true;
  return false;
}

const ClassDesc* TypeLibraryDesc::findClass(std::string_view key) const {
  auto guid = canonicalGuid(key);
  for (const ClassDesc* c : classes) {
    if (guid ? c->clsid == *guid : text::equalsNoCaseAscii(c->progId, key)) return c;
  }
  return nullptr;
}

const InterfaceDesc* TypeLibraryDesc::findInterface(std::string_view key) const {
  auto guid = canonicalGuid(key);
  for (const InterfaceDesc* i : interfaces) {
    if (guid ? i->iid == *guid : text::equalsNoCaseAscii(i->name, key)) return i;
  }
  return nullptr;
}

const TypeLibraryDesc& quibTypeLibrary() { return kQuib; }
const InterfaceDesc& appServerInterface() { return kAppServer; }
const InterfaceDesc& idatasInterface() { return kIdatas; }
const InterfaceDesc& idatasBbInterface() { return kIDatasBb; }
const ClassDesc& datasClass() { return kDatas; }
const ClassDesc& datasBbClass() { return kDatasBb; }

std::string_view paramDirName(ParamDir dir) {
  switch (dir) {
    case ParamDir::In: return "in";
    case ParamDir::Out: return "out";
    case ParamDir::InOut: return "in-out";
  }
  return "?";
}

}  // namespace rvz::remoting
