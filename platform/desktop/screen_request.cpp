// Wire form of screen requests and replies on nlohmann-json. The nesting
// depth is checked before parsing, so a hostile line cannot make the parser
// build (and later tear down) deep trees.
#include "platform/desktop/screen_request.h"

#include <nlohmann/json.hpp>

namespace rvz::desktop {

namespace {

using nlohmann::json;

struct CommandInfo {
  Command command;
  std::string_view name;
  size_t arity;
};

constexpr CommandInfo kCommands[] = {
    {Command::Log, "log", 0},         {Command::Tray, "tray", 0},         {Command::Menu, "menu", 1},
    {Command::Boxes, "boxes", 0},     {Command::Answer, "answer", 1},     {Command::Set, "set", 2},
    {Command::Click, "click", 1},     {Command::DropDown, "dropdown", 1}, {Command::Close, "close", 0},
    {Command::Windows, "windows", 0}, {Command::Watch, "watch", 0},
};

// Requests and replies are flat: an object holding strings, booleans and
// one array of strings.
constexpr int kMaxDepth = 2;

void checkDepth(std::string_view text, const char* what) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxDepth)
        throw ScreenError(std::string("malformed ") + what + ": nested deeper than " + std::to_string(kMaxDepth) +
                          " levels");
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
}

json parseLine(std::string_view line, size_t limit, const char* what) {
  if (line.size() > limit) throw ScreenError(std::string(what) + " is longer than " + std::to_string(limit) + " bytes");
  checkDepth(line, what);
  try {
    return json::parse(line);
  } catch (const json::exception& e) {
    throw ScreenError(std::string("malformed ") + what + ": " + e.what());
  }
}

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

std::string_view commandName(Command c) {
  for (const auto& info : kCommands)
    if (info.command == c) return info.name;
  return "?";
}

std::optional<Command> commandFromName(std::string_view name) {
  for (const auto& info : kCommands)
    if (info.name == name) return info.command;
  return std::nullopt;
}

size_t commandArity(Command c) {
  for (const auto& info : kCommands)
    if (info.command == c) return info.arity;
  return 0;
}

Request decodeRequest(std::string_view line) {
  json j = parseLine(line, kMaxRequestBytes, "screen request");
  if (!j.is_object()) throw ScreenError("malformed screen request: not a JSON object");
  Request r;
  bool haveCommand = false;
  for (auto it = j.begin(); it != j.end(); ++it) {
    const std::string& key = it.key();
    if (key == "command") {
      if (!it->is_string()) throw ScreenError("malformed screen request: \"command\" is not a string");
      auto c = commandFromName(it->get_ref<const std::string&>());
      if (!c) throw ScreenError("unknown screen command \"" + it->get<std::string>() + "\"");
      r.command = *c;
      haveCommand = true;
    } else if (key == "args") {
      if (!it->is_array()) throw ScreenError("malformed screen request: \"args\" is not an array");
      for (const auto& a : *it) {
        if (!a.is_string()) throw ScreenError("malformed screen request: an argument is not a string");
        r.args.push_back(a.get<std::string>());
      }
    } else if (key == "window") {
      if (!it->is_string()) throw ScreenError("malformed screen request: \"window\" is not a string");
      r.window = it->get<std::string>();
    } else {
      throw ScreenError("malformed screen request: unknown member \"" + key + "\"");
    }
  }
  if (!haveCommand) throw ScreenError("malformed screen request: no \"command\"");
  size_t arity = commandArity(r.command);
  if (r.args.size() != arity)
    throw ScreenError("screen command \"" + std::string(commandName(r.command)) + "\" takes " + std::to_string(arity) +
                      (arity == 1 ? " argument" : " arguments") + ", not " + std::to_string(r.args.size()));
  return r;
}

std::string encodeRequest(const Request& request) {
  json j = json::object();
  j["command"] = std::string(commandName(request.command));
  j["args"] = request.args;
  if (!request.window.empty()) j["window"] = request.window;
  return dump(j);
}

std::string encodeReply(const Reply& reply) {
  json j = json::object();
  j["ok"] = reply.ok;
  j[reply.ok ? "text" : "error"] = reply.text;
  return dump(j);
}

Reply decodeReply(std::string_view line) {
  json j = parseLine(line, kMaxReplyBytes, "screen reply");
  if (!j.is_object() || !j.contains("ok") || !j["ok"].is_boolean())
    throw ScreenError("malformed screen reply: no \"ok\" flag");
  Reply r;
  r.ok = j["ok"].get<bool>();
  const char* field = r.ok ? "text" : "error";
  if (!j.contains(field) || !j[field].is_string())
    throw ScreenError(std::string("malformed screen reply: no \"") + field + "\" text");
  r.text = j[field].get<std::string>();
  return r;
}

}  // namespace rvz::desktop
