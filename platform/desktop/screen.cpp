// The screen's model: windows and their controls, the tray icon, box
// buttons and answers, the screen's options, and the Screen's own windows
// and state. The per-thread queues are in screen_queues.cpp, the
// operator's requests in screen_operator.cpp.
#include "platform/desktop/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/desktop/instances.h"
#include "platform/desktop/screen_queues.h"
#include "platform/files/files.h"
#include "platform/text/text.h"

namespace rvz::desktop {

namespace {

// Longest box timeout RVZ_SCREEN_TIMEOUT may ask for: a year.
constexpr double kMaxTimeoutSeconds = 365.0 * 24 * 3600;

size_t utf8Chars(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

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

}  // namespace rvz::desktop
