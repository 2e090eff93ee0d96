// Member lookup, argument checks and conversion, and the guarded call of a
// dispatch object.
#include "platform/remoting/dispatch.h"

#include "platform/remoting/hresults.h"

namespace rvz::remoting {

namespace {

Variant emptyOf(VarType type) {
  switch (type) {
    case VT_VARIANT: return Variant();
    case VT_BSTR: return Variant::bstr(u"");
    default: return Variant().changeType(type);
  }
}

std::string describeArgument(const Variant& v) {
  std::string kind = varTypeName(v.vt());
  if (v.vt() == VT_BSTR) {
    std::string t = v.toUtf8();
    if (t.size() > 40) t = t.substr(0, 40) + "...";
    return kind + " \"" + t + "\"";
  }
  return kind;
}

void fail(ErrorInfo& error, const DispatchIdentity& id, HRESULT hr, const std::string& text) {
  error = runtimeError(hr, text, text::wideToUtf8(id.source()), id.interfaceId());
}

}  // namespace

text::WString DispatchIdentity::source() const { return cls ? text::utf8ToWide(cls->progId) : text::WString(); }

std::string DispatchIdentity::interfaceId() const { return iface ? std::string(iface->iid) : std::string(); }

CallCheck prepareCall(const DispatchIdentity& id, int32_t dispid, std::vector<Variant>& args, ErrorInfo& error) {
  CallCheck check;
  check.method = id.iface->findMethod(dispid);
  if (!check.method) {
    check.hr = DISP_E_MEMBERNOTFOUND;
    fail(error, id, check.hr,
         "Member not found: " + std::string(id.iface->name) + " has no member with dispatch id " +
             std::to_string(dispid));
    return check;
  }
  const MethodDesc& m = *check.method;
  if (args.size() != m.params.size()) {
    check.hr = DISP_E_BADPARAMCOUNT;
    fail(error, id, check.hr,
         "Invalid number of parameters: " + std::string(m.name) + " takes " + std::to_string(m.params.size()) +
             ", the call gave " + std::to_string(args.size()));
    return check;
  }
  for (size_t i = 0; i < m.params.size(); ++i) {
    const ParamDesc& p = m.params[i];
    if (p.dir == ParamDir::Out) {
      args[i] = emptyOf(p.type);
      continue;
    }
    if (p.type == VT_VARIANT || args[i].vt() == p.type) continue;
    try {
      args[i] = args[i].changeType(p.type);
    } catch (const VariantError& e) {
      check.hr = e.status() == kDispOverflow ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
      check.argError = static_cast<int32_t>(i);
      fail(error, id, check.hr,
           std::string(check.hr == DISP_E_OVERFLOW ? "Overflow" : "Type mismatch") + " in argument " +
               std::to_string(i + 1) + " (" + std::string(p.name) + ") of " + std::string(m.name) + ": " +
               describeArgument(args[i]) + " cannot become " + varTypeName(p.type));
      return check;
    }
  }
  error = ErrorInfo{};
  return check;
}

HRESULT runCall(const DispatchIdentity& id, DispatchObject& object, const MethodDesc& method,
                std::vector<Variant>& args, Variant& result, ErrorInfo& error) noexcept {
  HRESULT hr;
  try {
    error = ErrorInfo{};
    result = Variant();
    hr = object.invoke(method.dispid, args, result, error);
    if (succeeded(hr) && args.size() != method.params.size()) {
      hr = E_UNEXPECTED;
      error = ErrorInfo{};
      error.description = text::utf8ToWide("The object changed the argument list of " + std::string(method.name));
    }
  } catch (...) {
    error = errorFromCurrentException(id.source(), id.interfaceId());
    hr = error.hresult;
  }
  if (succeeded(hr)) {
    error = ErrorInfo{};
    error.hresult = hr;
    if (!method.hasResult()) result = Variant();
    return hr;
  }
  try {
    error.hresult = hr;
    if (error.source.empty()) error.source = id.source();
    if (error.interfaceId.empty()) error.interfaceId = id.interfaceId();
    if (error.description.empty()) error.description = text::utf8ToWide(standardMessage(hr));
  } catch (...) {
    // Out of memory while describing the failure: the status alone travels.
  }
  return hr;
}

HRESULT idsOfNames(const DispatchIdentity& id, std::span<const std::string> names, std::vector<int32_t>& ids,
                   ErrorInfo& error) {
  ids.assign(names.size(), -1);
  error = ErrorInfo{};
  if (names.empty()) {
    fail(error, id, E_INVALIDARG, "No name to resolve");
    return E_INVALIDARG;
  }
  const MethodDesc* m = id.iface->findMethod(names[0]);
  if (!m) {
    fail(error, id, DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(id.iface->name) + " has no member " + names[0]);
    return DISP_E_UNKNOWNNAME;
  }
  ids[0] = m->dispid;
  std::string unknown;
  for (size_t i = 1; i < names.size(); ++i) {
    if (auto pos = m->paramIndex(names[i])) {
      ids[i] = *pos;
    } else if (unknown.empty()) {
      unknown = names[i];
    }
  }
  if (!unknown.empty()) {
    fail(error, id, DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(m->name) + " has no parameter " + unknown);
    return DISP_E_UNKNOWNNAME;
  }
  return S_OK;
}

}  // namespace rvz::remoting
