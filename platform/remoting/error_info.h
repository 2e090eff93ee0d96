// Error information of the object platform: a failure status (HRESULT) with
// source, description and interface, as every interface operation returns
// it, and the one place where exceptions become such a status.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

#include "platform/text/text.h"

namespace rvz {

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108);

inline bool failed(HRESULT hr) { return hr < 0; }
inline bool succeeded(HRESULT hr) { return hr >= 0; }

// What a client receives with a failure status.
struct ErrorInfo {
  HRESULT hresult = S_OK;
  text::WString source;       // the class's ProgID, "Quib.datas"
  text::WString description;  // the failure's text
  std::string interfaceId;    // "{GUID}" of the interface the call came through
  uint32_t helpContext = 0;
  bool ok() const { return succeeded(hresult); }
};

// An exception that carries its own failure status. Anything else thrown
// inside an operation reaches the client as E_UNEXPECTED with its text.
class ComError : public std::runtime_error {
 public:
  ComError(HRESULT hr, const std::string& descriptionUtf8) : std::runtime_error(descriptionUtf8), hr_(hr) {}
  HRESULT hresult() const { return hr_; }

 private:
  HRESULT hr_;
};

// "0x8000FFFF"
std::string formatHresult(HRESULT hr);

// Turns the exception in flight (call from a catch block) into error
// information: ComError keeps its status, a VariantError its status, any
// other std::exception becomes E_UNEXPECTED with its text.
ErrorInfo errorFromCurrentException(const text::WString& source, const std::string& interfaceId);

// Runs one interface operation: S_OK when it returns, otherwise the failure
// status, with `info` filled in. Never throws.
template <class F>
HRESULT guardOperation(const text::WString& source, const std::string& interfaceId, ErrorInfo& info,
                       F&& body) noexcept {
  try {
    body();
    info = ErrorInfo{};
    return S_OK;
  } catch (...) {
    info = errorFromCurrentException(source, interfaceId);
    return info.hresult;
  }
}

}  // namespace rvz
