// The screen's model, and the machinery that runs every request on the
// thread that owns what it touches: the main thread's queue is drained by
// tasks posted to its message loop, and every thread waiting in a box or
// dialog drains its own queue while it waits.
#include "platform/desktop/screen.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/desktop/instances.h"
#include "platform/files/files.h"
#include "platform/text/text.h"

namespace rvz::desktop {

namespace {

using nlohmann::ordered_json;
using ReplyFn = std::function<void(Reply)>;

// How long a request waits for the thread that owns its window, and for
// earlier requests' work to settle, before it goes on without them.
constexpr auto kReplyWait = std::chrono::seconds(30);
constexpr auto kSettleWait = std::chrono::seconds(10);

// Longest box timeout RVZ_SCREEN_TIMEOUT may ask for: a year.
constexpr double kMaxTimeoutSeconds = 365.0 * 24 * 3600;

struct Action {
  std::function<void()> run;
  std::function<void()> abandon;  // when it will never run
  bool changes = false;           // works the model: a change once it has run
};

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

size_t utf8Chars(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
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

// --- small model pieces ------------------------------------------------------

std::string_view answerName(Answer a) {
  switch (a) {
    case Answer::None: return "";
    case Answer::OK: return "OK";
    case Answer::Cancel: return "Cancel";
    case Answer::Abort: return "Abort";
    case Answer::Retry: return "Retry";
    case Answer::Ignore: return "Ignore";
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
  }
  return "";
}

std::optional<Answer> answerFromName(std::string_view name) {
  for (int i = 1; i <= 7; ++i) {
    Answer a = static_cast<Answer>(i);
    if (text::equalsNoCaseAscii(answerName(a), name)) return a;
  }
  return std::nullopt;
}

std::vector<Answer> buttonsOf(Buttons b) {
  switch (b) {
    case Buttons::OK: return {Answer::OK};
    case Buttons::OKCancel: return {Answer::OK, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
  }
  return {Answer::OK};
}

std::string withFullStop(std::string_view text) {
  // Any byte of a multi-byte character is above "." as its code is.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return std::string(text) + ".";
  return std::string(text);
}

std::string_view controlKindName(ControlKind k) {
  switch (k) {
    case ControlKind::Label: return "label";
    case ControlKind::Edit: return "edit";
    case ControlKind::ComboBox: return "combobox";
    case ControlKind::Memo: return "memo";
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "checkbox";
    case ControlKind::Panel: return "panel";
  }
  return "control";
}

std::string Control::shownText() const {
  std::string t = currentText();
  if (passwordChar) return std::string(utf8Chars(t), passwordChar);
  return t;
}

Control& Window::add(std::string controlName, ControlKind kind, std::string text) {
  if (find(controlName)) throw ScreenError("window " + name + " already has a control named " + controlName);
  auto c = std::make_unique<Control>();
  c->name = std::move(controlName);
  c->kind = kind;
  c->text = std::move(text);
  controls_.push_back(std::move(c));
  return *controls_.back();
}

Control* Window::find(std::string_view controlName) {
  for (auto& c : controls_)
    if (text::equalsNoCaseAscii(c->name, controlName)) return c.get();
  return nullptr;
}

Control& Window::control(std::string_view controlName) {
  Control* c = find(controlName);
  if (!c) throw ScreenError("window " + name + " has no control named " + std::string(controlName));
  return *c;
}

void TrayIcon::setVisible(bool visible) { visible_ = visible; }

void TrayIcon::setHint(std::string_view hint) {
  std::string ansi = text::utf8ToAnsi(hint);
  hint_ = text::ansiToUtf8(ansi.substr(0, text::ansiPrefixLength(ansi, 63)));
}

std::optional<std::chrono::milliseconds> boxTimeoutFromEnvironment() {
  const char* env = std::getenv("RVZ_SCREEN_TIMEOUT");
  if (!env || !*env) return std::nullopt;
  char* end = nullptr;
  double seconds = std::strtod(env, &end);
  if (end == env || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > kMaxTimeoutSeconds)
    throw ScreenError(std::string("RVZ_SCREEN_TIMEOUT=") + env +
                      " is not a number of seconds (a decimal number from 0 to a year)");
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

// --- the threads' queues and the open boxes ----------------------------------

// The requests waiting for one thread that owns windows.
struct Screen::Queue {
  std::thread::id owner;
  bool isMain = false;
  std::deque<Action> pending;
  int busy = 0;          // actions running on the owner now
  bool blocked = false;  // the owner waits in a box or dialog with nothing to do
  int modalDepth = 0;    // boxes and dialogs the owner is inside
};

// An open message box or modal dialog.
struct Screen::Entry {
  uint64_t id = 0;
  std::shared_ptr<Queue> owner;
  bool isBox = true;
  BoxRequest box;
  std::vector<Answer> buttons;
  Answer defaultAnswer = Answer::None;
  Window* dialog = nullptr;  // touched only on the owner's thread
  std::string dialogName;
  bool done = false;
  Answer result = Answer::None;
};

// What the threads share. It outlives the Screen for as long as a thread
// still waits in a box or a posted task still holds it; once `closed`, no
// action runs any more.
struct Screen::Shared : std::enable_shared_from_this<Screen::Shared> {
  Post post;
  std::optional<std::chrono::milliseconds> timeout;
  std::thread::id mainThread;

  std::mutex mu;
  std::condition_variable cv;
  bool closed = false;
  std::shared_ptr<Queue> mainQueue;
  std::map<std::thread::id, std::shared_ptr<Queue>> queues;  // other threads inside a box or dialog
  std::vector<std::shared_ptr<Entry>> open;                  // in the order they opened
  uint64_t nextId = 1;
  bool stopped = false;  // requests are no longer taken
  std::string title;
  uint64_t version = 0;
  std::function<void(uint64_t)> listener;

  // --- under mu ---
  void noteChange() {
    ++version;
    if (listener) listener(version);
  }

  // --- under mu ---
  void finish(Entry& e, Answer a) {
    e.done = true;
    e.result = a;
    open.erase(std::remove_if(open.begin(), open.end(), [&](const auto& p) { return p.get() == &e; }), open.end());
    noteChange();
    cv.notify_all();
  }
  // A thread's newest box or dialog is the one in front.
  bool takesInput(const Entry& e) const {
    for (auto it = open.rbegin(); it != open.rend(); ++it)
      if ((*it)->owner == e.owner) return it->get() == &e;
    return false;
  }
  // The oldest box or dialog that takes input, which answers and closes
  // go to; throws when none is open. Under `mu`.
  std::shared_ptr<Entry> oldestTakingInput() const {
    for (const auto& e : open)
      if (takesInput(*e)) return e;
    throw ScreenError("no message box or dialog is open");
  }
  // The box or dialog a request names: "#<id>" as `boxes` lists it, or a
  // dialog's name; without a name, the oldest that takes input. Throws
  // when it is not open or is behind another of its thread. Under `mu`.
  std::shared_ptr<Entry> target(const std::string& name) const {
    if (name.empty()) return oldestTakingInput();
    for (const auto& e : open) {
      bool match = name.size() > 1 && name[0] == '#' ? name.substr(1) == std::to_string(e->id)
                                                     : !e->isBox && text::equalsNoCaseAscii(e->dialogName, name);
      if (!match) continue;
      if (!takesInput(*e))
        throw ScreenError("the " + std::string(e->isBox ? "box" : "dialog") + " " + name +
                          " is behind another box or dialog of its thread; answer that first");
      return e;
    }
    throw ScreenError("no message box or dialog " + name + " is open");
  }
  bool mainBehindModal() const {
    for (const auto& e : open)
      if (e->owner == mainQueue) return true;
    return false;
  }
  std::shared_ptr<Queue> enterModal() {
    auto id = std::this_thread::get_id();
    std::shared_ptr<Queue> q;
    if (id == mainThread) {
      q = mainQueue;
    } else {
      auto& slot = queues[id];
      if (!slot) {
        slot = std::make_shared<Queue>();
        slot->owner = id;
      }
      q = slot;
    }
    ++q->modalDepth;
    return q;
  }
  bool settled() const {
    auto quiet = [](const Queue& q) { return q.pending.empty() && (q.busy == 0 || q.blocked); };
    if (!quiet(*mainQueue)) return false;
    for (const auto& [id, q] : queues)
      if (!quiet(*q)) return false;
    return true;
  }
  void runOne(std::unique_lock<std::mutex>& lk, Queue& q) {
    Action a = std::move(q.pending.front());
    q.pending.pop_front();
    ++q.busy;
    lk.unlock();
    try {
      a.run();
    } catch (...) {
      // Actions answer their own failures; nothing may escape into a loop.
    }
    lk.lock();
    --q.busy;
    if (a.changes) noteChange();
    cv.notify_all();
  }

  // --- any thread ---
  // Queues the action for the owner, or abandons it when the owner no
  // longer waits for anything (its box or dialog closed, or the screen).
  void enqueue(const std::shared_ptr<Queue>& q, Action a) {
    bool queued = false;
    {
      std::unique_lock lk(mu);
      if (!closed && (q->isMain || q->modalDepth > 0)) {
        q->pending.push_back(std::move(a));
        queued = true;
        cv.notify_all();
      }
    }
    if (!queued) {
      if (a.abandon) a.abandon();
      return;
    }
    if (q->isMain)
      post([weak = weak_from_this()] {
        if (auto s = weak.lock()) s->drainMain();
      });
  }

  // On the main thread, from its message loop.
  void drainMain() {
    std::unique_lock lk(mu);
    while (!closed && !mainQueue->pending.empty()) runOne(lk, *mainQueue);
  }

  Answer messageBox(const BoxRequest& box) {
    auto e = std::make_shared<Entry>();
    e->buttons = buttonsOf(box.buttons);
    e->defaultAnswer = box.defaultButton == Answer::None ? e->buttons.front() : box.defaultButton;
    if (std::find(e->buttons.begin(), e->buttons.end(), e->defaultAnswer) == e->buttons.end())
      throw ScreenError("message box \"" + box.caption + "\": the default button " +
                        std::string(answerName(e->defaultAnswer)) + " is not one of its buttons");
    e->box = box;
    {
      std::unique_lock lk(mu);
      if (closed) return Answer::None;
      e->owner = enterModal();
      e->id = nextId++;
      open.push_back(e);
      noteChange();
      cv.notify_all();
    }
    return runModal(e);
  }

  Answer showModal(Window& dialog) {
    dialog.modalResult = Answer::None;
    runHandler(dialog.onShow);
    dialog.visible = true;
    auto e = std::make_shared<Entry>();
    e->isBox = false;
    e->dialog = &dialog;
    e->dialogName = dialog.name;
    {
      std::unique_lock lk(mu);
      if (closed) {
        dialog.visible = false;
        return Answer::None;
      }
      e->owner = enterModal();
      e->id = nextId++;
      open.push_back(e);
      noteChange();
      cv.notify_all();
    }
    Answer r = runModal(e);
    dialog.visible = false;
    dialog.modalResult = r;
    return r;
  }

  // The modal loop of the entry's owner: runs what is queued for the owner
  // until the entry is closed, by an answer, its timeout or the screen
  // going away.
  Answer runModal(const std::shared_ptr<Entry>& e) {
    auto self = shared_from_this();
    auto q = e->owner;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeout) deadline = std::chrono::steady_clock::now() + *timeout;
    std::unique_lock lk(mu);
    // The owner says once that it waits with nothing to do, and again only
    // after it did something: saying so on every wake-up would wake every
    // other thread waiting in a box, which would say so in turn, for ever.
    q->blocked = true;
    cv.notify_all();
    while (!e->done && !closed) {
      if (!q->pending.empty()) {
        q->blocked = false;
        runOne(lk, *q);
        q->blocked = true;
        cv.notify_all();
        continue;
      }
      bool timedOut = false;
      if (deadline) timedOut = cv.wait_until(lk, *deadline) == std::cv_status::timeout;
      else cv.wait(lk);
      if (timedOut && !e->done && !closed && q->pending.empty())
        finish(*e, e->isBox ? e->defaultAnswer : Answer::Cancel);
    }
    q->blocked = false;
    Answer result = e->done ? e->result : Answer::None;
    std::deque<Action> leftovers;
    if (--q->modalDepth == 0 && !q->isMain) {
      queues.erase(q->owner);
      leftovers.swap(q->pending);
    }
    lk.unlock();
    for (auto& a : leftovers)
      if (a.abandon) a.abandon();
    return result;
  }

  void showError(std::string_view message) {
    BoxRequest box;
    box.text = withFullStop(message);
    {
      std::lock_guard lk(mu);
      box.caption = title;
    }
    box.buttons = Buttons::OK;
    box.icon = BoxIcon::Error;
    messageBox(box);
  }

  void runHandler(const std::function<void()>& handler) {
    if (!handler) return;
    try {
      handler();
    } catch (const std::exception& ex) {
      showError(ex.what());
    } catch (...) {
      showError("unknown failure");
    }
  }

  // On the dialog's thread, after each of its handlers: a modal result
  // asks the dialog to close, which its close query may refuse.
  void closeDialogIfAsked(const std::shared_ptr<Entry>& e) {
    {
      std::lock_guard lk(mu);
      if (e->done) return;
    }
    Window& d = *e->dialog;
    Answer r = d.modalResult;
    if (r == Answer::None) return;
    bool allow = true;
    if (d.onCloseQuery) {
      try {
        allow = d.onCloseQuery(r);
      } catch (const std::exception& ex) {
        showError(ex.what());
        allow = false;
      }
    }
    if (!allow) {
      d.modalResult = Answer::None;
      return;
    }
    std::lock_guard lk(mu);
    if (!e->done) finish(*e, r);
  }

  // Runs `work` on the queue's owner and returns the reply it gives (an
  // empty success when it gives none). `work` may go on after replying.
  // The wait ends early when the screen closes or stops taking requests.
  // `changes`: the work changes the model (a change is noted once it has
  // run, handlers included).
  Reply callOn(const std::shared_ptr<Queue>& q, std::function<void(const ReplyFn&)> work, bool changes = false) {
    if (std::this_thread::get_id() == q->owner) {
      std::optional<Reply> got;
      ReplyFn reply = [&](Reply r) {
        if (!got) got = std::move(r);
      };
      try {
        work(reply);
      } catch (const std::exception& ex) {
        reply(Reply{false, ex.what()});
      }
      if (changes) {
        std::lock_guard lk(mu);
        noteChange();
      }
      return got ? *got : Reply{};
    }
    struct Call {
      bool given = false;
      Reply reply;
    };
    auto call = std::make_shared<Call>();
    auto self = shared_from_this();
    auto give = [self, call](Reply r) {
      std::lock_guard lk(self->mu);
      if (call->given) return;
      call->given = true;
      call->reply = std::move(r);
      self->cv.notify_all();
    };
    Action a;
    a.run = [give, work = std::move(work)] {
      ReplyFn reply = give;
      try {
        work(reply);
      } catch (const std::exception& ex) {
        reply(Reply{false, ex.what()});
      } catch (...) {
        reply(Reply{false, "unknown failure"});
      }
      reply(Reply{});
    };
    a.abandon = [give] { give(Reply{false, "the window closed before the request reached it"}); };
    a.changes = changes;
    enqueue(q, std::move(a));
    std::unique_lock lk(mu);
    bool done = cv.wait_for(lk, kReplyWait, [&] { return call->given || closed || stopped; });
    if (call->given) return call->reply;
    if (!done)
      return Reply{false, "the thread that owns the window did not answer within " +
                              std::to_string(kReplyWait.count()) + " s"};
    return Reply{false, "the screen is shutting down"};
  }

  // Waits until the work that earlier requests started is done or waits
  // for the operator, so that a request sees a box that a click opened.
  void settle() {
    std::unique_lock lk(mu);
    cv.wait_for(lk, kSettleWait, [&] { return closed || stopped || settled(); });
  }

  void close() {
    std::vector<Action> abandoned;
    {
      std::lock_guard lk(mu);
      closed = true;
      for (auto& a : mainQueue->pending) abandoned.push_back(std::move(a));
      mainQueue->pending.clear();
      for (auto& [id, q] : queues) {
        for (auto& a : q->pending) abandoned.push_back(std::move(a));
        q->pending.clear();
      }
      open.clear();
      cv.notify_all();
    }
    for (auto& a : abandoned)
      if (a.abandon) a.abandon();
  }
};

// --- the Screen ----------------------------------------------------------------

Screen::Screen(Post post, ScreenOptions options)
    : options_(std::move(options)),
      mainThread_(std::this_thread::get_id()),
      shared_(std::make_shared<Shared>()),
      tray_(options_.acceptsTrayIcon) {
  if (!post) throw std::invalid_argument("Screen needs a way to post tasks to the main thread");
  shared_->post = std::move(post);
  shared_->timeout = options_.boxTimeout;
  shared_->mainThread = mainThread_;
  shared_->mainQueue = std::make_shared<Queue>();
  shared_->mainQueue->owner = mainThread_;
  shared_->mainQueue->isMain = true;
  shared_->title = options_.applicationTitle;
}

Screen::~Screen() {
  shared_->close();
  if (!options_.home.empty() && !windows_.empty()) announceWindows(options_.home, {});
}

ScreenOptions ScreenOptions::fromEnvironment() {
  ScreenOptions o;
  o.boxTimeout = boxTimeoutFromEnvironment();
  o.home = files::homeFolder();
  const char* tray = std::getenv("RVZ_SCREEN_TRAY");
  if (tray && std::string_view(tray) == "0") o.acceptsTrayIcon = false;
  return o;
}

void Screen::requireMainThread(const char* what) const {
  if (!onMainThread()) throw std::logic_error(std::string("Screen::") + what + " belongs to the main thread");
}

Window& Screen::createWindow(std::string name, std::string className, std::string caption) {
  requireMainThread("createWindow");
  if (findWindow(name)) throw ScreenError("the screen already has a window named " + name);
  windows_.push_back(std::make_unique<Window>(std::move(name), std::move(className), std::move(caption)));
  announce();
  changed();
  return *windows_.back();
}

void Screen::destroyWindow(Window& window) {
  requireMainThread("destroyWindow");
  if (logWindow_ == &window) logWindow_ = nullptr;
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.get() == &window; }),
                 windows_.end());
  announce();
  changed();
}

Window* Screen::findWindow(std::string_view name) {
  for (auto& w : windows_)
    if (text::equalsNoCaseAscii(w->name, name)) return w.get();
  return nullptr;
}

TrayIcon& Screen::trayIcon() {
  requireMainThread("trayIcon");
  return tray_;
}

void Screen::setLogControl(Window& window, std::string_view controlName) {
  requireMainThread("setLogControl");
  window.control(controlName);
  logWindow_ = &window;
  logControl_ = std::string(controlName);
}

void Screen::setApplicationTitle(std::string title) {
  std::lock_guard lk(shared_->mu);
  shared_->title = std::move(title);
}

void Screen::announce() {
  if (options_.home.empty()) return;
  std::vector<std::string> classes;
  for (const auto& w : windows_) classes.push_back(w->className);
  announceWindows(options_.home, classes);
}

void Screen::stopRequests() {
  std::lock_guard lk(shared_->mu);
  shared_->stopped = true;
  shared_->cv.notify_all();
}

void Screen::changed() {
  std::lock_guard lk(shared_->mu);
  shared_->noteChange();
}

void Screen::setChangeListener(std::function<void(uint64_t)> listener) {
  std::lock_guard lk(shared_->mu);
  shared_->listener = std::move(listener);
}

uint64_t Screen::version() const {
  std::lock_guard lk(shared_->mu);
  return shared_->version;
}

Answer Screen::messageBox(const BoxRequest& box) { return shared_->messageBox(box); }
void Screen::showError(std::string_view message) { shared_->showError(message); }
Answer Screen::showModal(Window& dialog) { return shared_->showModal(dialog); }

// --- requests ------------------------------------------------------------------

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
      j["menu"].push_back({{"name", item.name}, {"caption", withoutAccelerator(item.caption)}, {"enabled", item.enabled}});
    }
    reply(Reply{true, dumpJson(j)});
  });
}

Reply Screen::doMenu(const std::string& wanted) {
  auto shared = shared_;
  return shared_->callOn(shared_->mainQueue, [this, shared, wanted](const ReplyFn& reply) {
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
  }, true);
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
  return shared->callOn(target->owner, [shared, target, button](const ReplyFn& reply) {
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
  }, true);
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
      if (std::find(b.begin(), b.end(), Answer::Cancel) != b.end()) shared->finish(*target, Answer::Cancel);
      else if (b.size() == 1 && b[0] == Answer::OK) shared->finish(*target, Answer::OK);
      else throw ScreenError("the box \"" + target->box.caption + "\" cannot be closed without an answer");
      return Reply{};
    }
  }
  return shared->callOn(target->owner, [shared, target](const ReplyFn& reply) {
    {
      std::lock_guard lk(shared->mu);
      if (target->done) throw ScreenError("the dialog has closed");
    }
    target->dialog->modalResult = Answer::Cancel;
    reply(Reply{});
    shared->closeDialogIfAsked(target);
  }, true);
}

Reply Screen::doControl(const Request& request) {
  auto shared = shared_;
  const std::string name = request.args.at(0);
  // The work on the control's own thread, once it is found there.
  auto apply = [shared, request](Window& w, Control& c, const std::shared_ptr<Entry>& dialog, const ReplyFn& reply) {
    if (!c.visible) throw ScreenError("control " + c.name + " of " + w.name + " is hidden");
    if (!c.enabled) throw ScreenError("control " + c.name + " of " + w.name + " is disabled");
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
        clickControl(w, c, dialog != nullptr, reply);
        break;
    }
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
    Reply r = shared->callOn(d->owner, [shared, d, name, found, apply](const ReplyFn& reply) {
      {
        std::lock_guard lk(shared->mu);
        if (d->done) return;
      }
      Control* c = d->dialog->find(name);
      if (!c) return;
      found->store(true);
      apply(*d->dialog, *c, d, reply);
    }, true);
    if (found->load() || !r.ok) return r;
  }

  auto found = std::make_shared<std::atomic<bool>>(false);
  Reply r = shared->callOn(shared->mainQueue, [this, shared, name, found, apply, request](const ReplyFn& reply) {
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
          throw ScreenError("window " + w->name + " is behind a message box or dialog of the server; answer that first");
      }
      apply(*w, *c, nullptr, reply);
      return;
    }
  }, true);
  if (found->load() || !r.ok) return r;
  throw ScreenError("no open dialog or shown window" +
                    (request.window.empty() ? std::string() : " named " + request.window) +
                    " has a control named " + name);
}

}  // namespace rvz::desktop
