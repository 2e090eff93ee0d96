// The queues behind the headless screen: one per thread that owns windows
// (the main thread, and each thread waiting in a message box or modal
// dialog), the open boxes and dialogs, and the modal loop that runs a
// thread's queued work while it waits. Requests reach the model only
// through these queues, so that everything runs on the thread that owns
// what it touches. Internal to the screen's units.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/screen.h"

namespace rvz::desktop {

using ReplyFn = std::function<void(Reply)>;

// Work queued for the thread that owns a window.
struct Action {
  std::function<void()> run;
  std::function<void()> abandon;  // when it will never run
  bool changes = false;           // works the model: a change once it has run
};

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
  void noteChange();

  // --- under mu ---
  void finish(Entry& e, Answer a);
  // A thread's newest box or dialog is the one in front.
  bool takesInput(const Entry& e) const;
  // The oldest box or dialog that takes input, which answers and closes
  // go to; throws when none is open. Under `mu`.
  std::shared_ptr<Entry> oldestTakingInput() const;
  // The box or dialog a request names: "#<id>" as `boxes` lists it, or a
  // dialog's name; without a name, the oldest that takes input. Throws
  // when it is not open or is behind another of its thread. Under `mu`.
  std::shared_ptr<Entry> target(const std::string& name) const;
  bool mainBehindModal() const;
  std::shared_ptr<Queue> enterModal();
  bool settled() const;
  void runOne(std::unique_lock<std::mutex>& lk, Queue& q);

  // --- any thread ---
  // Queues the action for the owner, or abandons it when the owner no
  // longer waits for anything (its box or dialog closed, or the screen).
  void enqueue(const std::shared_ptr<Queue>& q, Action a);

  // On the main thread, from its message loop.
  void drainMain();

  Answer messageBox(const BoxRequest& box);

  Answer showModal(Window& dialog);

  // The modal loop of the entry's owner: runs what is queued for the owner
  // until the entry is closed, by an answer, its timeout or the screen
  // going away.
  Answer runModal(const std::shared_ptr<Entry>& e);

  void showError(std::string_view message);

  void runHandler(const std::function<void()>& handler);

  // On the dialog's thread, after each of its handlers: a modal result
  // asks the dialog to close, which its close query may refuse.
  void closeDialogIfAsked(const std::shared_ptr<Entry>& e);

  // Runs `work` on the queue's owner and returns the reply it gives (an
  // empty success when it gives none). `work` may go on after replying.
  // The wait ends early when the screen closes or stops taking requests.
  // `changes`: the work changes the model (a change is noted once it has
  // run, handlers included).
  Reply callOn(const std::shared_ptr<Queue>& q, std::function<void(const ReplyFn&)> work, bool changes = false);

  // Waits until the work that earlier requests started is done or waits
  // for the operator, so that a request sees a box that a click opened.
  void settle();

  void close();
};

}  // namespace rvz::desktop
