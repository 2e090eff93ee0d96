// Fuzz target: a request as the server receives it. The first byte picks
// the message (Invoke, GetIDsOfNames, CreateObject); the rest is its
// protobuf form, decoded and checked the way the server does before any
// object is reached.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/remoting/dispatch.h"
#include "platform/remoting/type_library.h"
#include "platform/remoting/wire_codec.h"
#include "services/quib_type_library.h"

using namespace rvz;
using namespace rvz::remoting;
using namespace rvz::services;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const ClassDesc& cls = datasClass();
  DispatchIdentity id{&cls, cls.iface};
  const void* body = data + 1;
  int n = static_cast<int>(size - 1);
  switch (data[0] % 3) {
    case 0: {
      v1::InvokeRequest req;
      if (!req.ParseFromArray(body, n)) return 0;
      std::vector<Variant> args;
      ErrorInfo error;
      int32_t argError = -1;
      if (failed(decodeArguments(req.args(), args, error, argError))) {
        if (argError < 0 || argError >= req.args_size() || error.description.empty()) __builtin_trap();
        return 0;
      }
      if (args.size() != static_cast<size_t>(req.args_size())) __builtin_trap();
      int32_t dispid = req.dispid();
      if (req.member_case() == v1::InvokeRequest::kName) {
        const MethodDesc* m = cls.iface->findMethod(req.name());
        if (!m) return 0;
        dispid = m->dispid;
      }
      CallCheck check = prepareCall(id, dispid, args, error);
      if (succeeded(check.hr)) {
        // Every in argument has its declared kind now.
        for (size_t i = 0; i < args.size(); ++i) {
          const ParamDesc& p = check.method->params[i];
          if (p.type != VT_VARIANT && args[i].vt() != p.type) __builtin_trap();
        }
      } else if (error.description.empty()) {
        __builtin_trap();
      }
      // What a call answers must encode.
      for (const Variant& a : args) (void)encodeVariant(a);
      return 0;
    }
    case 1: {
      v1::GetIDsOfNamesRequest req;
      if (!req.ParseFromArray(body, n)) return 0;
      std::vector<std::string> names(req.names().begin(), req.names().end());
      std::vector<int32_t> ids;
      ErrorInfo error;
      idsOfNames(id, names, ids, error);
      if (ids.size() != names.size()) __builtin_trap();
      return 0;
    }
    default: {
      v1::CreateObjectRequest req;
      if (!req.ParseFromArray(body, n)) return 0;
      auto guid = canonicalGuid(req.iid());
      if (guid && canonicalGuid(*guid) != guid) __builtin_trap();
      (void)quibTypeLibrary().findClass(req.class_name());
      return 0;
    }
  }
}
