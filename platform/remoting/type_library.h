// The type library of the object platform: interfaces with their methods,
// dispatch ids, parameters and directions, and the classes that implement
// them. Late-bound calls are checked and answered from these descriptions.
// A server describes its own libraries with these; the one interface the
// platform itself publishes is the data-packet library's IAppServer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace rvz::remoting {

// Interfaces every object answers to.
inline constexpr std::string_view kIidIUnknown = "{00000000-0000-0000-C000-000000000046}";
inline constexpr std::string_view kIidIDispatch = "{00020400-0000-0000-C000-000000000046}";

// The registry form of a GUID: braces, upper-case hex, 8-4-4-4-12. Accepts
// braces or none and letters in either case; nullopt for anything else.
std::optional<std::string> canonicalGuid(std::string_view text);

enum class ParamDir : uint8_t { In, Out, InOut };

// One parameter of a method. `type` is the declared kind (VT_VARIANT for a
// variant parameter); `byRef` records a parameter passed by reference,
// which late binding treats like its direction says.
struct ParamDesc {
  std::string_view name;
  VarType type;
  ParamDir dir;
  bool byRef = false;
};

// A method of a dispatch interface. `result` is the kind of the [out,
// retval] value, VT_EMPTY when the method returns none.
struct MethodDesc {
  std::string_view name;
  int32_t dispid;
  std::span<const ParamDesc> params;
  VarType result = VT_EMPTY;

  bool hasResult() const { return result != VT_EMPTY; }
  // Parameter position of a name (case-insensitive), for named arguments.
  std::optional<int32_t> paramIndex(std::string_view name) const;
};

struct InterfaceDesc {
  std::string_view name;
  std::string_view iid;
  std::string_view doc;
  const InterfaceDesc* base = nullptr;  // methods of the base come first
  std::span<const MethodDesc> methods;

  // Own methods and those of the base interfaces.
  const MethodDesc* findMethod(int32_t dispid) const;
  const MethodDesc* findMethod(std::string_view name) const;  // case-insensitive
  // This interface or one it derives from has the given IID.
  bool derivesFrom(std::string_view iid) const;
};

struct ClassDesc {
  std::string_view name;
  std::string_view clsid;
  std::string_view doc;     // also the class's registry description
  std::string_view progId;  // library name "." class name
  const InterfaceDesc* iface;
};

struct TypeLibraryDesc {
  std::string_view name;
  std::string_view libid;
  std::string_view helpString;
  uint16_t major = 1, minor = 0;
  std::span<const InterfaceDesc* const> interfaces;
  std::span<const ClassDesc* const> classes;

  // By ProgID (case-insensitive) or by class GUID in any accepted form.
  const ClassDesc* findClass(std::string_view progIdOrClsid) const;
  const InterfaceDesc* findInterface(std::string_view nameOrIid) const;
};

// IAppServer as the data-packet library publishes it, which the interfaces
// of a data server build on, and the dispatch ids of its operations.
// The object is named too, so that constant tables can name it as a base.
extern const InterfaceDesc kAppServerInterface;
const InterfaceDesc& appServerInterface();
enum AppServerDispid : int32_t {
  kApplyUpdates = 20000000,
  kGetRecords = 20000001,
  kDataRequest = 20000002,
  kGetProviderNames = 20000003,
  kGetParams = 20000004,
  kRowRequest = 20000005,
  kExecute = 20000006,
};

// "in", "out", "in-out" for documents and messages.
std::string_view paramDirName(ParamDir dir);

}  // namespace rvz::remoting
