// The client library of the object platform: a connection (one session) to
// a server over gRPC or, for a server on the same machine, the framed
// transport (endpoint "unix:PATH" or "framed:HOST:PORT"), through which a program creates objects by ProgID or
// class GUID, calls them late-bound by name or dispatch id with variants,
// and releases them. Failures come back as a status with error information,
// as from any interface operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/remoting/error_info.h"
#include "platform/variant/variant.h"

namespace rvz::client {

struct ClientOptions {
  // "host:port" or "[v6]:port" for gRPC; "unix:PATH" or "framed:HOST:PORT"
  // for the framed transport (this machine only, no TLS).
  std::string endpoint = "127.0.0.1:7211";
  std::string token;      // sent with every request when set
  bool tls = false;       // TLS, trusting tlsCaFile or the system's roots
  std::string tlsCaFile;  // PEM roots to trust; implies TLS
  size_t maxMessageBytes = 64u << 20;
  // The client pings a silent connection this often and gives the server
  // as long again to answer, so that it notices a server that went away.
  int keepAliveMs = 10000;
  std::string clientName;

  // RVZ_ENDPOINT, RVZ_TOKEN, RVZ_TLS_CA (a trust file, which turns TLS on)
  // and RVZ_TLS (1 for TLS with the system's roots). Throws ComError
  // (E_INVALIDARG) naming a malformed variable.
  static ClientOptions fromEnvironment();
};

// A reference the session holds to a remote object.
struct ObjectRef {
  uint64_t id = 0;
  std::string progId;
  std::string classId;
  std::string interfaceId;
  std::string interfaceName;
  explicit operator bool() const { return id != 0; }
};

struct ParamInfo {
  std::string name;
  uint16_t vt = 0;
  enum Direction { In, Out, InOut } direction = In;
  bool byRef = false;
};

struct MethodInfo {
  std::string name;
  int32_t dispid = 0;
  std::vector<ParamInfo> params;
  uint16_t resultVt = 0;
};

struct TypeInfo {
  std::string interfaceName;
  std::string interfaceId;
  std::string documentation;
  std::string baseInterface;
  std::vector<MethodInfo> methods;
};

class Client {
 public:
  // Connects and opens the session; throws ComError when the server cannot
  // be reached or refuses the client (its status says which). A thread of
  // the client keeps a read pending on the session stream for as long as
  // the session lives and polls the connection whenever the program has
  // made no call for a short while, so that an idle client still answers
  // the server's keep-alive pings; while calls are being made, each call's
  // own thread does the polling.
  explicit Client(ClientOptions options);
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  // Closes the session: the server releases whatever it still holds.
  ~Client();

  HRESULT create(std::string_view className, ObjectRef& object, ErrorInfo& error, bool outer = false,
                 std::string_view iid = {});
  HRESULT idsOfNames(const ObjectRef& object, const std::vector<std::string>& names, std::vector<int32_t>& ids,
                     ErrorInfo& error);
  // `args` holds every parameter except the return value, in parameter
  // order (out places hold anything, Empty usually); after a successful
  // call the out and in-out places hold their new values. `argError`, when
  // given, receives the position of an argument the server refused;
  // `outPositions` the positions of the out and in-out parameters.
  HRESULT invoke(const ObjectRef& object, int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error,
                 int32_t* argError = nullptr, std::vector<size_t>* outPositions = nullptr);
  // By name, resolved on the server in the same round trip.
  HRESULT invoke(const ObjectRef& object, std::string_view name, std::vector<Variant>& args, Variant& result,
                 ErrorInfo& error, int32_t* argError = nullptr, std::vector<size_t>* outPositions = nullptr);
  HRESULT addRef(const ObjectRef& object, uint32_t& refCount, ErrorInfo& error);
  HRESULT release(const ObjectRef& object, uint32_t& refCount, ErrorInfo& error);
  HRESULT lockServer(std::string_view className, bool lock, ErrorInfo& error);
  HRESULT typeInfo(const ObjectRef& object, TypeInfo& info, ErrorInfo& error);

  // Ends the session now; later calls fail with RPC_E_DISCONNECTED.
  void close();
  const std::string& sessionId() const;

 private:
  struct Impl;
  HRESULT changeReference(const ObjectRef& object, bool add, uint32_t& refCount, ErrorInfo& error);
  HRESULT invokeMember(const ObjectRef& object, int32_t dispid, const std::string* name, std::vector<Variant>& args,
                       Variant& result, ErrorInfo& error, int32_t* argError, std::vector<size_t>* outPositions);
  std::unique_ptr<Impl> impl_;
};

}  // namespace rvz::client
