// The screen's per-thread queues and modal loops (see screen_queues.h):
// the main thread's queue is drained by tasks posted to its message loop,
// and every thread waiting in a box or dialog drains its own queue while
// it waits.
#include "platform/desktop/screen_queues.h"

#include <algorithm>

#include "platform/text/text.h"

namespace rvz::desktop {

namespace {

// How long a request waits for the thread that owns its window, and for
// earlier requests' work to settle, before it goes on without them.
constexpr auto kReplyWait = std::chrono::seconds(30);
constexpr auto kSettleWait = std::chrono::seconds(10);

}  // namespace

// --- under mu ---
void Screen::Shared::noteChange() {
  ++version;
  if (listener) listener(version);
}

// --- under mu ---
void Screen::Shared::finish(Entry& e, Answer a) {
  e.done = true;
  e.result = a;
  open.erase(std::remove_if(open.begin(), open.end(), [&](const auto& p) { return p.get() == &e; }), open.end());
  noteChange();
  cv.notify_all();
}

// A thread's newest box or dialog is the one in front.
bool Screen::Shared::takesInput(const Entry& e) const {
  for (auto it = open.rbegin(); it != open.rend(); ++it)
    if ((*it)->owner == e.owner) return it->get() == &e;
  return false;
}

// The oldest box or dialog that takes input, which answers and closes
// go to; throws when none is open. Under `mu`.
std::shared_ptr<Screen::Entry> Screen::Shared::oldestTakingInput() const {
  for (const auto& e : open)
    if (takesInput(*e)) return e;
  throw ScreenError("no message box or dialog is open");
}

// The box or dialog a request names: "#<id>" as `boxes` lists it, or a
// dialog's name; without a name, the oldest that takes input. Throws
// when it is not open or is behind another of its thread. Under `mu`.
std::shared_ptr<Screen::Entry> Screen::Shared::target(const std::string& name) const {
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

bool Screen::Shared::mainBehindModal() const {
  for (const auto& e : open)
    if (e->owner == mainQueue) return true;
  return false;
}

std::shared_ptr<Screen::Queue> Screen::Shared::enterModal() {
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

bool Screen::Shared::settled() const {
  auto quiet = [](const Queue& q) { return q.pending.empty() && (q.busy == 0 || q.blocked); };
  if (!quiet(*mainQueue)) return false;
  for (const auto& [id, q] : queues)
    if (!quiet(*q)) return false;
  return true;
}

void Screen::Shared::runOne(std::unique_lock<std::mutex>& lk, Queue& q) {
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
void Screen::Shared::enqueue(const std::shared_ptr<Queue>& q, Action a) {
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
void Screen::Shared::drainMain() {
  std::unique_lock lk(mu);
  while (!closed && !mainQueue->pending.empty()) runOne(lk, *mainQueue);
}

Answer Screen::Shared::messageBox(const BoxRequest& box) {
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

Answer Screen::Shared::showModal(Window& dialog) {
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
Answer Screen::Shared::runModal(const std::shared_ptr<Entry>& e) {
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
    if (deadline)
      timedOut = cv.wait_until(lk, *deadline) == std::cv_status::timeout;
    else
      cv.wait(lk);
    if (timedOut && !e->done && !closed && q->pending.empty()) finish(*e, e->isBox ? e->defaultAnswer : Answer::Cancel);
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

void Screen::Shared::showError(std::string_view message) {
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

void Screen::Shared::runHandler(const std::function<void()>& handler) {
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
void Screen::Shared::closeDialogIfAsked(const std::shared_ptr<Entry>& e) {
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
Reply Screen::Shared::callOn(const std::shared_ptr<Queue>& q, std::function<void(const ReplyFn&)> work, bool changes) {
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
    return Reply{false,
                 "the thread that owns the window did not answer within " + std::to_string(kReplyWait.count()) + " s"};
  return Reply{false, "the screen is shutting down"};
}

// Waits until the work that earlier requests started is done or waits
// for the operator, so that a request sees a box that a click opened.
void Screen::Shared::settle() {
  std::unique_lock lk(mu);
  cv.wait_for(lk, kSettleWait, [&] { return closed || stopped || settled(); });
}

void Screen::Shared::close() {
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

}  // namespace rvz::desktop
