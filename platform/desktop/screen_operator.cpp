// The operator's requests on the screen: reading the log, the tray, the
// open boxes and the windows, and answering, closing and working controls
// as a person would. Each request runs on the thread that owns what it
// touches, through the screen's queues (screen_queues.h).
#include "platform/desktop/screen.h"

#include <nlohmann/json.hpp>

#include "platform/desktop/screen_queues.h"
#include "platform/text/text.h"

namespace rvz::desktop {

namespace {

using nlohmann::ordered_json;

// The caption as shown: "&" marks the next character as the accelerator,
// "&&" is a literal "&".
std::string withoutAccelerator(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

std::string_view iconName(BoxIcon i) {
  switch (i) {
    case BoxIcon::None: return "none";
    case BoxIcon::Error: return "error";
    case BoxIcon::Question: return "question";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Information: return "information";
  }
  return "none";
}

std::string dumpJson(const ordered_json& j) { return j.dump(2, ' ', false, ordered_json::error_handler_t::replace); }

bool takesText(ControlKind k) { return k == ControlKind::Edit || k == ControlKind::ComboBox || k == ControlKind::Memo; }

}  // namespace

Reply Screen::handle(const Request& request) {
  if (request.args.size() != commandArity(request.command))
    return Reply{false, "screen command \"" + std::string(commandName(request.command)) + "\" takes " +
                            std::to_string(commandArity(request.command)) + " arguments"};
  {
    std::lock_guard lk(shared_->mu);
    if (shared_->stopped) return Reply{false, "the screen is shutting down"};
  }
  try {
    shared_->settle();
    switch (request.command) {
      case Command::Log: return doLog();
      case Command::Tray: return doTray();
      case Command::Menu: return doMenu(request.args.at(0));
      case Command::Boxes: return doBoxes();
      case Command::Windows: return doWindows();
      case Command::Watch: return doWatch();
      case Command::Answer: return doAnswer(request.args.at(0), request.window);
      case Command::Close: return doClose(request.window);
      case Command::Set:
      case Command::Click:
      case Command::DropDown: return doControl(request);
    }
    return Reply{false, "unknown screen command"};
  } catch (const std::exception& e) {
    return Reply{false, e.what()};
  }
}

Reply Screen::doLog() {
  return shared_->callOn(shared_->mainQueue, [this](const ReplyFn& reply) {
    Control* c = logWindow_ ? logWindow_->find(logControl_) : nullptr;
    if (!c) throw ScreenError("the screen has no activity log");
    reply(Reply{true, c->currentText()});
  });
}

Reply Screen::doWatch() { return Reply{true, std::to_string(version())}; }

Reply Screen::doTray() {
  return shared_->callOn(shared_->mainQueue, [this](const ReplyFn& reply) {
    ordered_json j;
    j["visible"] = tray_.inTray();
    j["enabled"] = tray_.enabled;
    j["hint"] = tray_.hint();
    j["menu"] = ordered_json::array();
    for (const auto& item : tray_.menu) {
      if (!item.visible) continue;
      j["menu"].push_back(
          {{"name", item.name}, {"caption", withoutAccelerator(item.caption)}, {"enabled", item.enabled}});
    }
    reply(Reply{true, dumpJson(j)});
  });
}

Reply Screen::doMenu(const std::string& wanted) {
  auto shared = shared_;
  return shared_->callOn(
      shared_->mainQueue,
      [this, shared, wanted](const ReplyFn& reply) {
        if (!tray_.inTray()) throw ScreenError("the tray icon is not shown");
        if (!tray_.enabled) throw ScreenError("the tray icon does not take mouse clicks");
        {
          std::lock_guard lk(shared->mu);
          if (shared->mainBehindModal())
            throw ScreenError("the tray menu is behind a message box or dialog of the server; answer that first");
        }
        std::string shown;
        for (const auto& item : tray_.menu) {
          if (!item.visible) continue;
          std::string caption = withoutAccelerator(item.caption);
          if (caption != wanted && !text::equalsNoCaseAscii(item.name, wanted)) {
            shown += shown.empty() ? "" : ", ";
            shown += "\"" + caption + "\"";
            continue;
          }
          if (!item.enabled) throw ScreenError("the tray menu item \"" + caption + "\" is disabled");
          auto handler = item.onClick;  // the handler may change the menu
          reply(Reply{});
          shared->runHandler(handler);
          return;
        }
        throw ScreenError("the tray menu has no item \"" + wanted + "\"" +
                          (shown.empty() ? std::string("; it is empty") : "; its items are " + shown));
      },
      true);
}

namespace {

// The controls of a window as the operator sees them.
ordered_json controlsJson(const Window& w) {
  ordered_json list = ordered_json::array();
  for (const auto& c : w.controls()) {
    ordered_json cj;
    cj["name"] = c->name;
    cj["kind"] = controlKindName(c->kind);
    cj["text"] = c->shownText();
    cj["visible"] = c->visible;
    cj["enabled"] = c->enabled;
    if (c->kind == ControlKind::CheckBox) cj["checked"] = c->checked;
    if (c->kind == ControlKind::ComboBox) cj["items"] = c->items;
    if (c->textSource && takesText(c->kind)) cj["readOnly"] = true;
    if (c->modalResult != Answer::None) cj["result"] = answerName(c->modalResult);
    if (!c->hint.empty()) cj["hint"] = c->hint;
    if (c->passwordChar) cj["password"] = true;
    if (!c->parent.empty()) cj["parent"] = c->parent;
    if (!c->bounds.empty()) {
      cj["left"] = c->bounds.left;
      cj["top"] = c->bounds.top;
      cj["width"] = c->bounds.width;
      cj["height"] = c->bounds.height;
    }
    if (c->tabOrder) cj["tabOrder"] = c->tabOrder;
    if (c->underline) cj["underline"] = true;
    if (!c->cursor.empty()) cj["cursor"] = c->cursor;
    list.push_back(cj);
  }
  return list;
}

void sizeJson(ordered_json& j, const Window& w) {
  if (w.width > 0 && w.height > 0) {
    j["width"] = w.width;
    j["height"] = w.height;
  }
  const Window::Form& f = w.form;
  if (f.borderStyle.empty() && f.fontName.empty()) return;
  ordered_json fj;
  fj["position"] = f.centred ? "screenCenter" : "default";
  if (!f.borderStyle.empty()) fj["borderStyle"] = f.borderStyle;
  fj["borderIcons"] = f.borderIcons;
  if (!f.fontName.empty()) fj["font"] = {{"name", f.fontName}, {"height", f.fontHeight}, {"charset", f.charset}};
  fj["showHint"] = f.showHint;
  if (!f.activeControl.empty()) fj["activeControl"] = f.activeControl;
  j["form"] = std::move(fj);
}

}  // namespace

Reply Screen::doWindows() {
  return shared_->callOn(shared_->mainQueue, [this](const ReplyFn& reply) {
    ordered_json list = ordered_json::array();
    for (const auto& w : windows_) {
      ordered_json j;
      j["name"] = w->name;
      j["class"] = w->className;
      j["caption"] = w->caption;
      j["visible"] = w->visible;
      j["stayOnTop"] = w->stayOnTop;
      sizeJson(j, *w);
      j["controls"] = controlsJson(*w);
      list.push_back(std::move(j));
    }
    reply(Reply{true, dumpJson(list)});
  });
}

Reply Screen::doBoxes() {
  auto shared = shared_;
  std::vector<std::shared_ptr<Entry>> entries;
  std::vector<bool> input;
  {
    std::lock_guard lk(shared->mu);
    entries = shared->open;
    for (const auto& e : entries) input.push_back(shared->takesInput(*e));
  }
  ordered_json list = ordered_json::array();
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    if (e->isBox) {
      ordered_json j;
      j["kind"] = "box";
      j["id"] = e->id;
      j["caption"] = e->box.caption;
      j["text"] = e->box.text;
      j["buttons"] = ordered_json::array();
      for (Answer a : e->buttons) j["buttons"].push_back(answerName(a));
      j["default"] = answerName(e->defaultAnswer);
      j["icon"] = iconName(e->box.icon);
      j["input"] = static_cast<bool>(input[i]);
      list.push_back(j);
      continue;
    }
    bool takes = input[i];
    Reply r = shared->callOn(e->owner, [shared, e, takes](const ReplyFn& reply) {
      {
        std::lock_guard lk(shared->mu);
        if (e->done) throw ScreenError("closed");
      }
      const Window& d = *e->dialog;
      ordered_json j;
      j["kind"] = "dialog";
      j["id"] = e->id;
      j["name"] = d.name;
      j["class"] = d.className;
      j["caption"] = d.caption;
      j["input"] = takes;
      sizeJson(j, d);
      j["controls"] = controlsJson(d);
      reply(Reply{true, j.dump(-1, ' ', false, ordered_json::error_handler_t::replace)});
    });
    if (r.ok) {
      list.push_back(ordered_json::parse(r.text));
    } else if (r.text != "closed") {
      list.push_back({{"kind", "dialog"}, {"id", e->id}, {"name", e->dialogName}, {"responding", false}});
    }
  }
  return Reply{true, dumpJson(list)};
}

namespace {

void clickControl(Window& w, Control& c, bool modal, const ReplyFn& reply) {
  if (c.kind == ControlKind::CheckBox) c.checked = !c.checked;
  if (modal && c.modalResult != Answer::None) w.modalResult = c.modalResult;
  reply(Reply{});
}

}  // namespace

Reply Screen::doAnswer(const std::string& button, const std::string& window) {
  auto shared = shared_;
  std::shared_ptr<Entry> target;
  {
    std::lock_guard lk(shared->mu);
    target = shared->target(window);
    if (target->isBox) {
      auto a = answerFromName(button);
      if (!a || std::find(target->buttons.begin(), target->buttons.end(), *a) == target->buttons.end()) {
        std::string names;
        for (Answer b : target->buttons) names += (names.empty() ? "" : ", ") + std::string(answerName(b));
        throw ScreenError("the box \"" + target->box.caption + "\" has no button \"" + button + "\"; its buttons are " +
                          names);
      }
      shared->finish(*target, *a);
      return Reply{};
    }
  }
  return shared->callOn(
      target->owner,
      [shared, target, button](const ReplyFn& reply) {
        {
          std::lock_guard lk(shared->mu);
          if (target->done) throw ScreenError("the dialog has closed");
        }
        Window& d = *target->dialog;
        for (const auto& c : d.controls()) {
          if (c->kind != ControlKind::Button || !c->visible || !c->enabled) continue;
          bool byResult = c->modalResult != Answer::None && text::equalsNoCaseAscii(answerName(c->modalResult), button);
          if (!byResult && !text::equalsNoCaseAscii(c->name, button) && withoutAccelerator(c->text) != button) continue;
          auto handler = c->onClick;
          clickControl(d, *c, true, reply);
          shared->runHandler(handler);
          shared->closeDialogIfAsked(target);
          return;
        }
        throw ScreenError("the dialog \"" + d.caption + "\" has no button \"" + button + "\" that can be pressed");
      },
      true);
}

Reply Screen::doClose(const std::string& window) {
  auto shared = shared_;
  std::shared_ptr<Entry> target;
  {
    std::lock_guard lk(shared->mu);
    target = shared->target(window);
    if (target->isBox) {
      const auto& b = target->buttons;
      // As on Windows: a box's close box is its Cancel button, or its only
      // button OK; a box that asks Yes or No has none.
      if (std::find(b.begin(), b.end(), Answer::Cancel) != b.end())
        shared->finish(*target, Answer::Cancel);
      else if (b.size() == 1 && b[0] == Answer::OK)
        shared->finish(*target, Answer::OK);
      else
        throw ScreenError("the box \"" + target->box.caption + "\" cannot be closed without an answer");
      return Reply{};
    }
  }
  return shared->callOn(
      target->owner,
      [shared, target](const ReplyFn& reply) {
        {
          std::lock_guard lk(shared->mu);
          if (target->done) throw ScreenError("the dialog has closed");
        }
        target->dialog->modalResult = Answer::Cancel;
        reply(Reply{});
        shared->closeDialogIfAsked(target);
      },
      true);
}

namespace {

// Does what the request asks of a found, usable control and returns the
// handler the control runs for it.
std::function<void()> actOnControl(const Request& request, Window& w, Control& c, bool modal, const ReplyFn& reply) {
  std::function<void()> handler;
  switch (request.command) {
    case Command::Set:
      if (!takesText(c.kind))
        throw ScreenError("control " + c.name + " is a " + std::string(controlKindName(c.kind)) +
                          "; only edit boxes, combo boxes and memos take text");
      if (c.textSource) throw ScreenError("control " + c.name + " of " + w.name + " is read-only");
      c.text = request.args.at(1);
      handler = c.onChange;
      reply(Reply{});
      break;
    case Command::DropDown:
      if (c.kind != ControlKind::ComboBox) throw ScreenError("control " + c.name + " is not a combo box");
      handler = c.onDropDown;
      reply(Reply{});
      break;
    default:
      handler = c.onClick;
      clickControl(w, c, modal, reply);
      break;
  }
  return handler;
}

}  // namespace

Reply Screen::doControl(const Request& request) {
  auto shared = shared_;
  const std::string name = request.args.at(0);
  // The work on the control's own thread, once it is found there.
  auto apply = [shared, request](Window& w, Control& c, const std::shared_ptr<Entry>& dialog, const ReplyFn& reply) {
    if (!c.visible) throw ScreenError("control " + c.name + " of " + w.name + " is hidden");
    if (!c.enabled) throw ScreenError("control " + c.name + " of " + w.name + " is disabled");
    std::function<void()> handler = actOnControl(request, w, c, dialog != nullptr, reply);
    shared->runHandler(handler);
    if (dialog) shared->closeDialogIfAsked(dialog);
  };

  std::vector<std::shared_ptr<Entry>> dialogs;
  {
    std::lock_guard lk(shared->mu);
    for (const auto& e : shared->open)
      if (!e->isBox && shared->takesInput(*e) &&
          (request.window.empty() || text::equalsNoCaseAscii(e->dialogName, request.window)))
        dialogs.push_back(e);
  }
  for (const auto& d : dialogs) {
    auto found = std::make_shared<std::atomic<bool>>(false);
    Reply r = shared->callOn(
        d->owner,
        [shared, d, name, found, apply](const ReplyFn& reply) {
          {
            std::lock_guard lk(shared->mu);
            if (d->done) return;
          }
          Control* c = d->dialog->find(name);
          if (!c) return;
          found->store(true);
          apply(*d->dialog, *c, d, reply);
        },
        true);
    if (found->load() || !r.ok) return r;
  }

  auto found = std::make_shared<std::atomic<bool>>(false);
  Reply r = shared->callOn(
      shared->mainQueue,
      [this, shared, name, found, apply, request](const ReplyFn& reply) {
        for (const auto& w : windows_) {
          // A hidden window is reached when the request names it: the server's
          // main window is never shown, and the operator works it this way.
          bool named = !request.window.empty() && text::equalsNoCaseAscii(w->name, request.window);
          if (!(named || (request.window.empty() && w->visible))) continue;
          Control* c = w->find(name);
          if (!c) continue;
          found->store(true);
          {
            std::lock_guard lk(shared->mu);
            if (shared->mainBehindModal())
              throw ScreenError("window " + w->name +
                                " is behind a message box or dialog of the server; answer that first");
          }
          apply(*w, *c, nullptr, reply);
          return;
        }
      },
      true);
  if (found->load() || !r.ok) return r;
  throw ScreenError("no open dialog or shown window" +
                    (request.window.empty() ? std::string() : " named " + request.window) + " has a control named " +
                    name);
}

}  // namespace rvz::desktop
