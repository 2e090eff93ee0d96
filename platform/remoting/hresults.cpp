// Standard texts of the statuses the runtime reports.
#include "platform/remoting/hresults.h"

namespace rvz::remoting {

std::string standardMessage(HRESULT hr) {
  switch (hr) {
    case E_UNEXPECTED: return "Catastrophic failure";
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "No such interface supported";
    case E_POINTER: return "Invalid pointer";
    case E_FAIL: return "Unspecified error";
    case E_OUTOFMEMORY: return "Not enough memory resources are available to complete this operation.";
    case E_INVALIDARG: return "The parameter is incorrect.";
    case E_ACCESSDENIED: return "Access is denied.";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation (or class object is remote)";
    case DISP_E_UNKNOWNNAME: return "Unknown name.";
    case DISP_E_MEMBERNOTFOUND: return "Member not found.";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters.";
    case DISP_E_TYPEMISMATCH: return "Type mismatch.";
    case DISP_E_OVERFLOW: return "Out of present range.";
    case DISP_E_PARAMNOTFOUND: return "Parameter not found.";
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CO_E_CLASSSTRING: return "Invalid class string";
    case CO_E_SERVER_STOPPING: return "Object server is stopping when OLE service contacts it";
    case RPC_E_DISCONNECTED: return "The object invoked has disconnected from its clients.";
    case RPC_E_INVALID_DATA: return "Invalid data was received.";
    case RPC_S_SERVER_UNAVAILABLE: return "The RPC server is unavailable.";
    case RPC_E_TIMEOUT: return "This operation returned because the timeout period expired.";
    default: return "";
  }
}

ErrorInfo runtimeError(HRESULT hr, const std::string& descriptionUtf8, std::string_view source,
                       std::string_view interfaceId) {
  ErrorInfo e;
  e.hresult = hr;
  e.description = text::utf8ToWide(descriptionUtf8.empty() ? standardMessage(hr) : descriptionUtf8);
  e.source = text::utf8ToWide(source);
  e.interfaceId = std::string(interfaceId);
  return e;
}

}  // namespace rvz::remoting
