// Failure statuses of the object runtime beyond those of error_info.h, and
// the standard text of each status the runtime reports.
#pragma once

#include <string>

#include "platform/remoting/error_info.h"

namespace rvz::remoting {

inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
inline constexpr HRESULT CO_E_SERVER_STOPPING = static_cast<HRESULT>(0x80080008);
inline constexpr HRESULT RPC_E_INVALID_DATA = static_cast<HRESULT>(0x8001010F);
inline constexpr HRESULT RPC_S_OUT_OF_RESOURCES = static_cast<HRESULT>(0x800706B9);
inline constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = static_cast<HRESULT>(0x800706BA);
inline constexpr HRESULT RPC_E_TIMEOUT = static_cast<HRESULT>(0x8001011F);

// The platform's text for a status ("Member not found."), or "" for a
// status the runtime never reports on its own.
std::string standardMessage(HRESULT hr);

// Error information for a failure the runtime itself reports.
ErrorInfo runtimeError(HRESULT hr, const std::string& descriptionUtf8, std::string_view source = {},
                       std::string_view interfaceId = {});

}  // namespace rvz::remoting
