// Script reading and running for `quib run`.
#include "client/quib_run.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "client/activation.h"
#include "client/quib_json.h"
#include "client/quib_packet.h"
#include "platform/remoting/error_info.h"
#include "platform/remoting/hresults.h"

namespace rvz::client {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr HRESULT E_POINTER_ = E_POINTER;
constexpr double kMaxSleepSeconds = 86400;

[[noreturn]] void bad(const std::string& where, const std::string& why) {
  throw ComError(E_INVALIDARG, where + ": " + why);
}

std::string textField(const json& step, const char* key, const std::string& where) {
  const json& v = step[key];
  if (!v.is_string() || v.get<std::string>().empty()) bad(where, std::string("\"") + key + "\" takes a non-empty text");
  return v.get<std::string>();
}

Step readStep(const json& j, const std::string& where) {
  if (!j.is_object()) bad(where, "a step is a JSON object such as {\"create\": \"Quib.datas\", \"as\": \"d\"}");
  static const std::map<std::string, Step::Kind> verbs = {
      {"create", Step::Create}, {"call", Step::Call},   {"release", Step::Release},  {"lock", Step::Lock},
      {"unlock", Step::Unlock}, {"sleep", Step::Sleep}, {"describe", Step::Describe}};
  static const std::map<Step::Kind, std::vector<std::string>> extras = {{Step::Create, {"as", "outer", "iid"}},
                                                                        {Step::Call, {"method", "dispid", "args"}},
                                                                        {Step::Release, {}},
                                                                        {Step::Lock, {}},
                                                                        {Step::Unlock, {}},
                                                                        {Step::Sleep, {}},
                                                                        {Step::Describe, {}}};
  Step s;
  std::string verb;
  for (auto it = j.begin(); it != j.end(); ++it) {
    auto v = verbs.find(it.key());
    if (v == verbs.end()) continue;
    if (!verb.empty())
      bad(where, "a step does one thing, but this one has both \"" + verb + "\" and \"" + it.key() + "\"");
    verb = it.key();
    s.kind = v->second;
  }
  if (verb.empty()) bad(where, "no step kind: use create, call, release, lock, unlock, sleep or describe");
  const auto& allowed = extras.at(s.kind);
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (it.key() == verb) continue;
    if (std::find(allowed.begin(), allowed.end(), it.key()) == allowed.end())
      bad(where, "\"" + it.key() + "\" does not belong in a " + verb + " step");
  }
  switch (s.kind) {
    case Step::Sleep: {
      const json& v = j["sleep"];
      if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > kMaxSleepSeconds)
        bad(where, "\"sleep\" takes a number of seconds from 0 to 86400");
      s.seconds = v.get<double>();
      return s;
    }
    case Step::Create:
      s.target = textField(j, "create", where);
      s.as = j.contains("as") ? textField(j, "as", where) : s.target;
      if (j.contains("outer")) {
        if (!j["outer"].is_boolean()) bad(where, "\"outer\" takes true or false");
        s.outer = j["outer"].get<bool>();
      }
      if (j.contains("iid")) s.iid = textField(j, "iid", where);
      return s;
    case Step::Call: {
      s.target = textField(j, "call", where);
      bool byName = j.contains("method"), byId = j.contains("dispid");
      if (byName == byId) bad(where, "a call names its member with either \"method\" or \"dispid\"");
      if (byName) s.method = textField(j, "method", where);
      if (byId) {
        const json& d = j["dispid"];
        if (!d.is_number_integer() || d.get<int64_t>() < INT32_MIN || d.get<int64_t>() > INT32_MAX)
          bad(where, "\"dispid\" takes a 32-bit integer");
        s.dispid = static_cast<int32_t>(d.get<int64_t>());
      }
      if (j.contains("args")) {
        const json& a = j["args"];
        if (!a.is_array()) bad(where, "\"args\" takes an array with every parameter in order");
        for (size_t i = 0; i < a.size(); ++i)
          s.args.push_back(variantFromJson(a[i], where + ": args[" + std::to_string(i) + "]"));
      }
      return s;
    }
    default: s.target = textField(j, verb.c_str(), where); return s;
  }
}

ojson failure(const ErrorInfo& e) {
  ojson o;
  o["ok"] = false;
  o["hresult"] = formatHresult(e.hresult);
  o["source"] = text::wideToUtf8(e.source);
  o["description"] = text::wideToUtf8(e.description);
  return o;
}

ojson success() {
  ojson o;
  o["ok"] = true;
  return o;
}

// The server has gone or is going: a new session may find a new one.
bool serverGone(HRESULT hr) {
  return hr == remoting::RPC_S_SERVER_UNAVAILABLE || hr == RPC_E_DISCONNECTED || hr == remoting::CO_E_SERVER_STOPPING;
}

constexpr int kReopenTries = 20;
constexpr auto kReopenPause = std::chrono::milliseconds(200);

ojson paramJson(const ParamInfo& p) {
  ojson j;
  j["name"] = p.name;
  j["vt"] = p.vt;
  j["direction"] = p.direction == ParamInfo::In ? "in" : p.direction == ParamInfo::Out ? "out" : "in-out";
  j["by_ref"] = p.byRef;
  return j;
}

ojson methodJson(const MethodInfo& m) {
  ojson j;
  j["name"] = m.name;
  j["dispid"] = m.dispid;
  j["result_vt"] = m.resultVt;
  ojson params = ojson::array();
  for (const ParamInfo& p : m.params) params.push_back(paramJson(p));
  j["params"] = params;
  return j;
}

// A describe step's answer: the interface and each method with its
// parameters.
ojson interfaceJson(const TypeInfo& info) {
  ojson answer = success();
  answer["interface"] = info.interfaceName;
  answer["iid"] = info.interfaceId;
  answer["documentation"] = info.documentation;
  answer["base"] = info.baseInterface;
  ojson methods = ojson::array();
  for (const MethodInfo& m : info.methods) methods.push_back(methodJson(m));
  answer["methods"] = methods;
  return answer;
}

// One run of a script: the objects held by name and the session they live
// in, which a create or lock step replaces when the server has gone.
class ScriptRun {
 public:
  ScriptRun(Client& first, const RunOptions& options) : current_(&first), options_(options) {}

  // The answer of one step.
  ojson run(const Step& s) {
    switch (s.kind) {
      case Step::Create: return create(s);
      case Step::Call: return call(s);
      case Step::Release: return release(s);
      case Step::Lock:
      case Step::Unlock: return lock(s);
      case Step::Sleep: std::this_thread::sleep_for(std::chrono::duration<double>(s.seconds)); return success();
      case Step::Describe: return describe(s);
    }
    return ojson();
  }

 private:
  using Operation = std::function<HRESULT(Client&, ErrorInfo&)>;

  // Runs a create or lock step, on a new session while the old one's
  // server is gone and a new one can be had.
  HRESULT withServer(const std::string& cls, const Operation& op, ErrorInfo& e) {
    HRESULT hr = op(*current_, e);
    for (int tries = 0; options_.reopen && serverGone(hr) && tries < kReopenTries; ++tries) {
      try {
        if (tries > 0) std::this_thread::sleep_for(kReopenPause);
        std::unique_ptr<Client> next = options_.reopen(cls);
        held_.clear();  // their server is gone
        reopened_ = std::move(next);
        current_ = reopened_.get();
      } catch (const ComError& ce) {
        e = ErrorInfo{};
        e.hresult = ce.hresult();
        e.description = text::utf8ToWide(ce.what());
        return e.hresult;
      }
      hr = op(*current_, e);
    }
    return hr;
  }

  ojson value(const Variant& v) const {
    if (options_.decode)
      if (auto p = decodedPacket(v)) return *p;
    return variantToJson(v);
  }

  // The object held under a name; null, with the error, when there is none.
  ObjectRef* heldObject(const std::string& name, ErrorInfo& e) {
    auto it = held_.find(name);
    if (it != held_.end()) return &it->second;
    e.hresult = E_POINTER_;
    e.description = text::utf8ToWide("No object is held under the name \"" + name + "\"");
    return nullptr;
  }

  ojson create(const Step& s) {
    ObjectRef o;
    ErrorInfo e;
    auto create = [&](Client& c, ErrorInfo& err) { return c.create(s.target, o, err, s.outer, s.iid); };
    if (failed(withServer(s.target, create, e))) return failure(e);
    auto it = held_.find(s.as);
    if (it != held_.end()) {
      // Holding a new object under a name lets go of the old one.
      uint32_t n;
      ErrorInfo ignored;
      current_->release(it->second, n, ignored);
    }
    held_[s.as] = o;
    return success();
  }

  ojson call(const Step& s) {
    ErrorInfo e;
    ObjectRef* o = heldObject(s.target, e);
    if (!o) return failure(e);
    std::vector<Variant> args = s.args;
    Variant result;
    std::vector<size_t> outs;
    HRESULT hr = s.dispid ? current_->invoke(*o, *s.dispid, args, result, e, nullptr, &outs)
                          : current_->invoke(*o, s.method, args, result, e, nullptr, &outs);
    if (failed(hr)) return failure(e);
    ojson answer = success();
    answer["result"] = value(result);
    ojson outValues = ojson::array();
    for (size_t pos : outs) outValues.push_back(value(args[pos]));
    answer["out"] = outValues;
    return answer;
  }

  ojson release(const Step& s) {
    ErrorInfo e;
    ObjectRef* o = heldObject(s.target, e);
    if (!o) return failure(e);
    uint32_t n;
    HRESULT hr = current_->release(*o, n, e);
    held_.erase(s.target);
    return failed(hr) ? failure(e) : success();
  }

  ojson lock(const Step& s) {
    ErrorInfo e;
    auto lock = [&](Client& c, ErrorInfo& err) { return c.lockServer(s.target, s.kind == Step::Lock, err); };
    return failed(withServer(s.target, lock, e)) ? failure(e) : success();
  }

  ojson describe(const Step& s) {
    ErrorInfo e;
    ObjectRef* o = heldObject(s.target, e);
    TypeInfo info;
    if (!o || failed(current_->typeInfo(*o, info, e))) return failure(e);
    return interfaceJson(info);
  }

  std::map<std::string, ObjectRef> held_;
  std::unique_ptr<Client> reopened_;
  Client* current_;
  const RunOptions& options_;
};

}  // namespace

std::vector<Step> parseScript(std::string_view text) {
  std::vector<Step> steps;
  json whole = json::parse(text.begin(), text.end(), nullptr, false);
  if (!whole.is_discarded() && whole.is_array()) {
    for (size_t i = 0; i < whole.size(); ++i) steps.push_back(readStep(whole[i], "step " + std::to_string(i + 1)));
    return steps;
  }
  if (!whole.is_discarded() && whole.is_object()) {
    steps.push_back(readStep(whole, "step 1"));
    return steps;
  }
  if (!whole.is_discarded()) bad("script", "expected an array of steps or one step per line");
  size_t lineNo = 0, start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    ++lineNo;
    start = end + 1;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    std::string where = "line " + std::to_string(lineNo);
    json j = json::parse(line.begin(), line.end(), nullptr, false);
    if (j.is_discarded()) bad(where, "not JSON");
    steps.push_back(readStep(j, where));
  }
  return steps;
}

size_t runSteps(const std::vector<Step>& steps, Client& first, std::ostream& out, const RunOptions& options) {
  size_t failures = 0;
  ScriptRun script(first, options);
  for (const Step& s : steps) {
    ojson answer = script.run(s);
    if (answer.contains("ok") && answer["ok"] == false) ++failures;
    out << answer.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
  }
  return failures;
}

int quibRun(const RunCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
  RunOptions options;
  options.decode = command.decode;
  std::string text;
  const std::string& name = command.file;
  if (name == "-") {
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
  } else {
    std::ifstream f(name, std::ios::binary);
    if (!f) {
      err << "quib run: cannot read the script " << name << std::endl;
      return 2;
    }
    std::ostringstream s;
    s << f.rdbuf();
    text = s.str();
  }
  std::vector<Step> steps;
  try {
    steps = parseScript(text);
  } catch (const ComError& e) {
    err << "quib run: " << (name == "-" ? std::string("standard input") : name) << ": " << e.what() << std::endl;
    return 2;
  }
  // The class the platform would start a server for: the first one the
  // script asks for.
  std::string firstClass;
  for (const Step& s : steps)
    if (s.kind == Step::Create || s.kind == Step::Lock) {
      firstClass = s.target;
      break;
    }
  std::unique_ptr<Client> client;
  try {
    const ClientOptions co = command.client;
    if (command.activate) options.reopen = [co](std::string_view cls) { return connectActivating(co, cls); };
    client = firstClass.empty() || !command.activate ? std::make_unique<Client>(co) : connectActivating(co, firstClass);
  } catch (const std::exception& e) {
    err << "quib run: " << e.what() << std::endl;
    return 3;
  }
  const size_t failures = runSteps(steps, *client, out, options);
  if (command.fail && failures > 0) {
    err << "quib run: " << failures << " of " << steps.size() << " steps failed" << std::endl;
    return 4;
  }
  return 0;
}

}  // namespace rvz::client
