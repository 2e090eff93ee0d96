// Error information: formatting of statuses and the mapping of exceptions.
#include "platform/remoting/error_info.h"

#include <cstdio>
#include <new>

#include "platform/variant/variant.h"

namespace rvz {

std::string formatHresult(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(hr));
  return buf;
}

ErrorInfo errorFromCurrentException(const text::WString& source, const std::string& interfaceId) {
  ErrorInfo info;
  info.source = source;
  info.interfaceId = interfaceId;
  try {
    throw;
  } catch (const ComError& e) {
    info.hresult = failed(e.hresult()) ? e.hresult() : E_UNEXPECTED;
    info.description = text::utf8ToWide(e.what());
  } catch (const VariantError& e) {
    info.hresult = failed(e.status()) ? e.status() : E_UNEXPECTED;
    info.description = text::utf8ToWide(e.what());
  } catch (const std::bad_alloc&) {
    info.hresult = E_OUTOFMEMORY;
    info.description = u"Out of memory";
  } catch (const std::exception& e) {
    info.hresult = E_UNEXPECTED;
    info.description = text::utf8ToWide(e.what());
  } catch (...) {
    info.hresult = E_UNEXPECTED;
    info.description = u"Unexpected failure";
  }
  return info;
}

}  // namespace rvz
