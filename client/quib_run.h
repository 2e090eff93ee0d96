// `quib run`: a JSON script of steps (create, call, release, lock, unlock,
// sleep) run against the server, one JSON line answered per step.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/client.h"
#include "platform/variant/variant.h"

namespace rvz::client {

struct Step {
  enum Kind { Create, Call, Release, Lock, Unlock, Sleep, Describe } kind = Create;
  std::string target;  // class (create, lock, unlock) or object name (call, release, describe)
  std::string as;      // create: the name the object is held under
  bool outer = false;
  std::string iid;
  std::string method;  // call: by name, or
  std::optional<int32_t> dispid;
  std::vector<Variant> args;
  double seconds = 0;
};

// Reads a script: a JSON array of steps, a single step, or one step per
// line. Throws ComError (E_INVALIDARG) naming the step or line and what is
// wrong with it; nothing runs then.
std::vector<Step> parseScript(std::string_view text);

struct RunOptions {
  // Results and out values that hold a packet are printed as {"packet": ...}.
  bool decode = false;
  // Opens a new session when a create or lock step finds the server gone
  // (a server started by the platform ends on its last release); given the
  // step's class, so that it can start the server again. The objects of
  // the old session are gone with it. Null: the step fails as it came.
  std::function<std::unique_ptr<Client>(std::string_view className)> reopen;
};

// Runs the steps in order on the client, writing one JSON line per step;
// the number of steps that answered a failure. References still held at
// the end stay with the client's session, which releases them when it
// closes. A describe step answers the interface of a held object as the
// type library gives it: name, iid, documentation, base, and each method
// with its dispatch id, result type and parameters (VARTYPE numbers).
size_t runSteps(const std::vector<Step>& steps, Client& client, std::ostream& out, const RunOptions& options = {});

// What `quib run` was asked to do.
struct RunCommand {
  std::string file = "-";  // "-": standard input
  bool decode = false;
  bool fail = false;     // exit 4 when a step answers a failure
  bool activate = true;  // start the registered server when none answers
  ClientOptions client;
};

// The whole command: reads the script, connects (starting the registered
// server of the script's first class when none answers and `activate`
// allows) and runs. 0 when every step ran (whatever the calls answered,
// unless `fail`), 2 when the script cannot be read, 3 when the server
// cannot be reached, 4 when `fail` is set and a step failed.
int quibRun(const RunCommand& command, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace rvz::client
