// Failure messages, argument decoding and gRPC status mapping.
#include "platform/remoting/wire_codec.h"

#include <absl/synchronization/mutex.h>
#include <grpcpp/support/status.h>

#include "platform/remoting/hresults.h"

namespace rvz::remoting {

namespace {
constexpr HRESULT RPC_S_CALL_FAILED = static_cast<HRESULT>(0x800706BE);
constexpr HRESULT RPC_E_CALL_CANCELED = static_cast<HRESULT>(0x80010002);
}  // namespace

void putFailure(const ErrorInfo& error, int32_t argError, v1::Failure* out) {
  out->set_hresult(static_cast<uint32_t>(error.hresult));
  out->set_source(text::wideToUtf8(error.source));
  out->set_description(text::wideToUtf8(error.description));
  out->set_interface_id(error.interfaceId);
  out->set_help_context(error.helpContext);
  out->set_arg_error(argError);
}

ErrorInfo getFailure(const v1::Failure& in) {
  ErrorInfo e;
  e.hresult = static_cast<HRESULT>(in.hresult());
  e.source = text::utf8ToWide(in.source());
  e.description = text::utf8ToWide(in.description());
  e.interfaceId = in.interface_id();
  e.helpContext = in.help_context();
  return e;
}

HRESULT decodeArguments(const google::protobuf::RepeatedPtrField<std::string>& in, std::vector<Variant>& args,
                        ErrorInfo& error, int32_t& argError, const VariantWireLimits& limits) {
  args.clear();
  args.reserve(static_cast<size_t>(in.size()));
  for (int i = 0; i < in.size(); ++i) {
    try {
      args.push_back(decodeVariant(in.Get(i), limits));
    } catch (const VariantError& e) {
      argError = i;
      error = runtimeError(RPC_E_INVALID_DATA, "Argument " + std::to_string(i + 1) + " does not decode: " + e.what());
      return error.hresult;
    }
  }
  argError = -1;
  return S_OK;
}

Variant decodeValue(std::string_view bytes, const char* what) {
  try {
    return decodeVariant(bytes);
  } catch (const VariantError& e) {
    throw VariantError(e.status(), std::string("The ") + what + " of the reply does not decode: " + e.what());
  }
}

void disableLockGraphChecks() { absl::SetMutexDeadlockDetectionMode(absl::OnDeadlockCycle::kIgnore); }

ErrorInfo errorFromStatus(const grpc::Status& status) {
  HRESULT hr;
  std::string why;
  switch (status.error_code()) {
    case grpc::StatusCode::UNAUTHENTICATED:
    case grpc::StatusCode::PERMISSION_DENIED:
      hr = E_ACCESSDENIED;
      why = "Access denied";
      break;
    case grpc::StatusCode::RESOURCE_EXHAUSTED:
      hr = RPC_S_OUT_OF_RESOURCES;
      why = "The message is over the size bound";
      break;
    case grpc::StatusCode::UNAVAILABLE:
      hr = RPC_S_SERVER_UNAVAILABLE;
      why = "The server is unavailable";
      break;
    case grpc::StatusCode::DEADLINE_EXCEEDED:
      hr = RPC_E_TIMEOUT;
      why = "The call timed out";
      break;
    case grpc::StatusCode::CANCELLED:
      hr = RPC_E_CALL_CANCELED;
      why = "The call was cancelled";
      break;
    default:
      hr = RPC_S_CALL_FAILED;
      why = "The remote call failed";
      break;
  }
  std::string msg = status.error_message();
  return runtimeError(hr, msg.empty() ? why : why + ": " + msg);
}

}  // namespace rvz::remoting
