// Between the runtime's values and the wire messages: error information in
// a Failure, arguments as variants in their byte form, and the HRESULT a
// client reports for a failed gRPC call. The server and the client share it
// so that both ends read the same bytes the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/remoting/error_info.h"
#include "platform/variant/variant.h"
#include "platform/variant/variant_wire.h"
#include "rovezevu/remoting/v1/remoting.pb.h"

namespace grpc {
class Status;
}

namespace rvz::remoting {

void putFailure(const ErrorInfo& error, int32_t argError, v1::Failure* out);
ErrorInfo getFailure(const v1::Failure& in);

// Decodes the arguments of a call. A variant that does not decode fails the
// call with RPC_E_INVALID_DATA, naming the argument; `argError` gets its
// position.
HRESULT decodeArguments(const google::protobuf::RepeatedPtrField<std::string>& in, std::vector<Variant>& args,
                        ErrorInfo& error, int32_t& argError, const VariantWireLimits& limits = {});

// A decoded value of a reply (result or out argument); throws VariantError
// naming what it is.
Variant decodeValue(std::string_view bytes, const char* what);

// The status a client reports when the call itself failed on the way: the
// server unreachable, the token refused, a message over the size bound.
ErrorInfo errorFromStatus(const grpc::Status& status);

// Switches off Abseil's lock-order deadlock detection, which the Debian
// build of Abseil (made without NDEBUG) leaves on: gRPC's locks are Abseil
// mutexes, and the detection updates a process-wide lock graph on every
// lock and unlock: some 5 % of a small call's loopback round trip, and
// more of its CPU, at either end. The server and the client call it before
// their first gRPC object; it turns off only the check, never a lock.
void disableLockGraphChecks();

// Metadata key of the client token; the value is "Bearer " and the token.
inline constexpr const char* kTokenMetadataKey = "authorization";
inline constexpr std::string_view kBearerPrefix = "Bearer ";

}  // namespace rvz::remoting
