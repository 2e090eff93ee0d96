// Decoding the console's action forms: percent escapes, UTF-8 and the
// fields each screen command takes, refused with a reason when anything is
// off, so that nothing half-understood reaches the screen.
#include "client/console/console_request.h"

#include <optional>

namespace rvz::client::console {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Checks well-formed UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF) and the control characters allowed.
void checkText(const std::string& s, std::string_view what) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F)
        throw RequestError("the form's " + std::string(what) + " holds the control character " +
                           std::to_string(static_cast<int>(c)));
      ++i;
      continue;
    }
    size_t len = 0;
    unsigned cp = 0;
    if (c >= 0xC2 && c <= 0xDF)
      len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
      len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
      len = 4, cp = c & 0x07;
    else
      throw RequestError("the form's " + std::string(what) + " is not UTF-8 text");
    if (i + len > s.size()) throw RequestError("the form's " + std::string(what) + " is not UTF-8 text");
    for (size_t k = 1; k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) throw RequestError("the form's " + std::string(what) + " is not UTF-8 text");
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      throw RequestError("the form's " + std::string(what) + " is not UTF-8 text");
    i += len;
  }
}

std::string percentDecode(std::string_view s, std::string_view what) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      int hi = i + 2 < s.size() ? hexValue(s[i + 1]) : -1;
      int lo = i + 2 < s.size() ? hexValue(s[i + 2]) : -1;
      if (hi < 0 || lo < 0) throw RequestError("the form's " + std::string(what) + " has a broken percent escape");
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  checkText(out, what);
  return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> decodeForm(std::string_view form) {
  if (form.size() > kMaxFormBytes)
    throw RequestError("the form is longer than " + std::to_string(kMaxFormBytes) + " bytes");
  std::vector<std::pair<std::string, std::string>> fields;
  while (!form.empty()) {
    size_t amp = form.find('&');
    std::string_view field = form.substr(0, amp);
    form = amp == std::string_view::npos ? std::string_view() : form.substr(amp + 1);
    if (field.empty()) continue;
    if (fields.size() == kMaxFormFields)
      throw RequestError("the form has more than " + std::to_string(kMaxFormFields) + " fields");
    size_t eq = field.find('=');
    std::string name = percentDecode(field.substr(0, eq), "field name");
    std::string value =
        eq == std::string_view::npos ? std::string() : percentDecode(field.substr(eq + 1), "value of " + name);
    fields.emplace_back(std::move(name), std::move(value));
  }
  return fields;
}

desktop::Request actionFromForm(std::string_view form) {
  std::optional<std::string> command, target, text, window;
  for (auto& [name, value] : decodeForm(form)) {
    std::optional<std::string>* slot = name == "command"  ? &command
                                       : name == "target" ? &target
                                       : name == "text"   ? &text
                                       : name == "window" ? &window
                                                          : nullptr;
    if (!slot) throw RequestError("the form has an unknown field \"" + name + "\"");
    if (*slot) throw RequestError("the form names \"" + name + "\" twice");
    *slot = std::move(value);
  }
  if (!command) throw RequestError("the form names no command");
  auto c = desktop::commandFromName(*command);
  if (!c) throw RequestError("unknown screen command \"" + *command + "\"");
  desktop::Request r;
  r.command = *c;
  switch (*c) {
    case desktop::Command::Menu:
    case desktop::Command::Answer:
    case desktop::Command::Set:
    case desktop::Command::Click:
    case desktop::Command::DropDown:
      if (!target || target->empty()) throw RequestError("the command \"" + *command + "\" needs a target");
      r.args.push_back(*target);
      break;
    case desktop::Command::Close:
      if (target) throw RequestError("the command \"close\" takes no target");
      break;
    default: throw RequestError("the command \"" + *command + "\" only reads; the event stream shows what it would");
  }
  if (*c == desktop::Command::Set) {
    if (!text) throw RequestError("the command \"set\" needs a text");
    r.args.push_back(*text);
  } else if (text) {
    throw RequestError("only the command \"set\" takes a text");
  }
  if (window) {
    if (*c == desktop::Command::Menu) throw RequestError("the command \"menu\" takes no window");
    r.window = *window;
  }
  return r;
}

}  // namespace rvz::client::console
