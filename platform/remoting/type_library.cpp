// Type library descriptions and their look-ups, and IAppServer as the
// data-packet library publishes it.
#include "platform/remoting/type_library.h"

#include <array>

#include "platform/text/text.h"

namespace rvz::remoting {

namespace {

using D = ParamDir;

// IAppServer, with the dispatch ids of the data-packet library.
constexpr ParamDesc kApplyUpdatesParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Delta", VT_VARIANT, D::In},
    {"MaxErrors", VT_I4, D::In},
    {"ErrorCount", VT_I4, D::Out, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kGetRecordsParams[] = {
    {"ProviderName", VT_BSTR, D::In},          {"Count", VT_I4, D::In},
    {"RecsOut", VT_I4, D::Out, true},          {"Options", VT_I4, D::In},
    {"CommandText", VT_BSTR, D::In},           {"Params", VT_VARIANT, D::InOut, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kDataRequestParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Data", VT_VARIANT, D::In},
};
constexpr ParamDesc kGetParamsParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kRowRequestParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"Row", VT_VARIANT, D::In},
    {"RequestType", VT_I4, D::In},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};
constexpr ParamDesc kExecuteParams[] = {
    {"ProviderName", VT_BSTR, D::In},
    {"CommandText", VT_BSTR, D::In},
    {"Params", VT_VARIANT, D::InOut, true},
    {"OwnerData", VT_VARIANT, D::InOut, true},
};

constexpr MethodDesc kAppServerMethods[] = {
    {"AS_ApplyUpdates", kApplyUpdates, kApplyUpdatesParams, VT_VARIANT},
    {"AS_GetRecords", kGetRecords, kGetRecordsParams, VT_VARIANT},
    {"AS_DataRequest", kDataRequest, kDataRequestParams, VT_VARIANT},
    {"AS_GetProviderNames", kGetProviderNames, {}, VT_VARIANT},
    {"AS_GetParams", kGetParams, kGetParamsParams, VT_VARIANT},
    {"AS_RowRequest", kRowRequest, kRowRequestParams, VT_VARIANT},
    {"AS_Execute", kExecute, kExecuteParams, VT_EMPTY},
};

}  // namespace

constexpr InterfaceDesc kAppServerInterface{"IAppServer", "{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D}", "", nullptr,
                                            kAppServerMethods};

namespace {

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

const InterfaceDesc& appServerInterface() { return kAppServerInterface; }

std::string_view paramDirName(ParamDir dir) {
  switch (dir) {
    case ParamDir::In: return "in";
    case ParamDir::Out: return "out";
    case ParamDir::InOut: return "in-out";
  }
  return "?";
}

}  // namespace rvz::remoting
