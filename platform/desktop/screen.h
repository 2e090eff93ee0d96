// The headless screen: the server's windows and their controls, the tray
// icon with its menu, message boxes and modal dialogs. Nothing is drawn;
// what a person would see or do is read and done through requests (see
// screen_request.h), which the socket server (screen_server.h) takes from
// the operator's console.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/desktop/screen_request.h"

namespace rvz::desktop {

// The button a box or a modal window was closed with; the values are those
// of the Windows IDOK ... IDNO and of the modal results. None: not closed
// by a button (the screen went away).
enum class Answer { None = 0, OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"; "" for None.
std::string_view answerName(Answer a);
// The answer of a button name, letters compared without regard to case.
std::optional<Answer> answerFromName(std::string_view name);

// The button sets of a message box, in the order they are shown.
enum class Buttons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
std::vector<Answer> buttonsOf(Buttons b);

enum class BoxIcon { None, Error, Question, Warning, Information };

struct BoxRequest {
  std::string text;
  std::string caption;
  Buttons buttons = Buttons::OK;
  BoxIcon icon = BoxIcon::None;
  // One of the buttons; None means the first.
  Answer defaultButton = Answer::None;
  bool topmost = false;     // kept above other windows
  bool taskModal = false;   // modal for the whole task
  bool foreground = false;  // brought to the foreground
};

// The text with a full stop appended when its last character's code is
// greater than that of "." — the rule by which failures are shown in boxes.
std::string withFullStop(std::string_view text);

enum class ControlKind { Label, Edit, ComboBox, Memo, Button, CheckBox, Panel };
std::string_view controlKindName(ControlKind k);

// Where a control sits, in pixels, relative to the client area of its
// parent (its window, or the panel it names). Empty (no width or height):
// the window did not place it, and a console lays it out by itself.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

// A control of a window. Texts are UTF-8. Handlers run on the thread that
// owns the window: the main thread for the screen's own windows, the
// thread in showModal() for a modal dialog. A handler that throws has its
// failure shown in an error box captioned with the application title.
struct Control {
  std::string name;
  ControlKind kind = ControlKind::Label;
  std::string text;
  bool checked = false;
  bool visible = true;
  bool enabled = true;
  char passwordChar = 0;  // when set, each character is shown as this one
  std::string hint;
  Bounds bounds;
  std::string parent;                       // the panel it sits on; empty: the window
  int tabOrder = 0;                         // position in the tab order from 1; 0: not a tab stop
  bool underline = false;                   // its font is underlined
  std::string cursor;                       // the mouse cursor over it ("hand"); empty: the default
  std::vector<std::string> items;           // the list of a combo box
  Answer modalResult = Answer::None;        // a button that closes its modal window
  std::function<std::string()> textSource;  // when set, the text is read from it
  std::function<void()> onClick;
  std::function<void()> onChange;    // after the text was set from the screen
  std::function<void()> onDropDown;  // before a combo box's list opens

  std::string currentText() const { return textSource ? textSource() : text; }
  // What a person sees: the text, masked for a password box.
  std::string shownText() const;
};

// A window with its controls, in the order they were added. A modal
// dialog is a Window its owner creates and passes to Screen::showModal.
class Window {
 public:
  Window(std::string name, std::string className, std::string caption)
      : name(std::move(name)), className(std::move(className)), caption(std::move(caption)) {}
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Control& add(std::string controlName, ControlKind kind, std::string text = {});
  // By name, letters compared without regard to case.
  Control* find(std::string_view controlName);
  // As find(), but a missing control is a ScreenError.
  Control& control(std::string_view controlName);
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  std::string name;
  std::string className;
  std::string caption;
  bool visible = false;
  bool stayOnTop = false;  // the form style that keeps it above other windows
  // The client area in pixels; 0: not given, a console sizes it by itself.
  int width = 0;
  int height = 0;
  // How the form is drawn besides its size; left as is, a console uses
  // its own defaults.
  struct Form {
    bool centred = false;                  // centred on the screen
    std::string borderStyle;               // "dialog", "sizeable", ...
    std::vector<std::string> borderIcons;  // "systemMenu", "minimize", "maximize"
    std::string fontName;
    int fontHeight = 0;   // pixels
    std::string charset;  // "GB2312", ...
    bool showHint = false;
    std::string activeControl;  // the control with the focus when shown
  } form;
  // Set by a handler of a modal window to ask it to close with this result
  // (a button with a modal result sets it before its onClick runs). The
  // window then asks onCloseQuery; when that refuses, it is reset to None.
  Answer modalResult = Answer::None;
  std::function<void()> onShow;
  std::function<bool(Answer result)> onCloseQuery;

 private:
  std::vector<std::unique_ptr<Control>> controls_;
};

struct MenuItem {
  std::string name;
  std::string caption;  // "&" marks the accelerator and is not shown
  bool visible = true;
  bool enabled = true;
  std::function<void()> onClick;
};

// The tray icon. Its menu opens on a right click and its items run on the
// main thread; left and double clicks do nothing visible.
class TrayIcon {
 public:
  // When clear, the icon ignores the mouse.
  bool enabled = false;
  std::vector<MenuItem> menu;

  // Setting the flag puts the icon into the tray, unless the screen does
  // not accept tray icons: then the flag is set but the icon stays out,
  // silently.
  void setVisible(bool visible);
  bool visible() const { return visible_; }
  bool inTray() const { return visible_ && accepted_; }

  // The hint as the tray holds it: the text in the ANSI code page, cut to
  // its first 63 bytes (never inside a double-byte character).
  void setHint(std::string_view hint);
  const std::string& hint() const { return hint_; }

 private:
  friend class Screen;
  explicit TrayIcon(bool accepted) : accepted_(accepted) {}
  bool accepted_;
  bool visible_ = false;
  std::string hint_;
};

struct ScreenOptions {
  // False: the screen refuses tray icons, as when no shell runs.
  bool acceptsTrayIcon = true;
  // How long a message box or modal dialog waits for the operator before a
  // box takes its default button and a dialog closes with Cancel; nullopt:
  // it waits as long as it takes.
  std::optional<std::chrono::milliseconds> boxTimeout;
  // Caption of the error boxes for failures in handlers.
  std::string applicationTitle;
  // The folder where the screen's top-level windows are announced for the
  // instance sweep of other processes (instances.h); empty: no announcing.
  std::filesystem::path home;

  // What a server's screen uses: the box timeout of RVZ_SCREEN_TIMEOUT
  // (throws ScreenError for a bad value), the home folder, and no tray
  // icons when RVZ_SCREEN_TRAY is "0" (a screen without a shell).
  static ScreenOptions fromEnvironment();
};

// RVZ_SCREEN_TIMEOUT: seconds (a decimal number >= 0) as a box timeout;
// nullopt when unset or empty. Throws ScreenError for any other value.
std::optional<std::chrono::milliseconds> boxTimeoutFromEnvironment();

// The screen of one process. It belongs to the thread that constructs it,
// the main thread; the host passes `post`, which runs a task on that
// thread's message loop (from any thread).
//
// Threads and ownership:
//  - The screen's windows (createWindow) and the tray icon are the main
//    thread's. Requests that read or work them are posted to the main
//    thread and run there; the methods marked "main thread" must only be
//    called there.
//  - A message box or a modal dialog belongs to the thread that shows it,
//    which blocks in messageBox() or showModal() and, while it waits, runs
//    the requests aimed at its box or dialog (a dialog's handlers thus run
//    on the thread that showed it). The main thread, while it waits in a
//    box or dialog, also runs the requests for its own windows and the
//    tray, as a modal loop would. So a box shown by an object thread can
//    be answered while the main thread itself waits for that thread.
//  - A thread's newest box or dialog takes input; older ones of the same
//    thread are behind it, and the main thread's windows and tray menu are
//    behind any box or dialog the main thread shows.
//
// The screen must outlive every call of messageBox() or showModal() that
// may still begin; calls waiting when it is destroyed return Answer::None.
class Screen {
 public:
  using Post = std::function<void(std::function<void()>)>;

  Screen(Post post, ScreenOptions options = {});
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Main thread: a top-level window of the screen, owned by it.
  Window& createWindow(std::string name, std::string className, std::string caption);
  void destroyWindow(Window& window);
  Window* findWindow(std::string_view name);
  // Main thread: the tray icon.
  TrayIcon& trayIcon();
  // Main thread: the control whose text the "log" request prints.
  void setLogControl(Window& window, std::string_view controlName);
  // Main thread: the caption of error boxes.
  void setApplicationTitle(std::string title);

  // Any thread: shows the box and waits until it is answered (or the
  // timeout takes its default button). ScreenError when the default
  // button is not one of the box's buttons.
  Answer messageBox(const BoxRequest& box);
  // Any thread: the failure text (with a full stop, see withFullStop) in
  // an error box captioned with the application title; waits for OK.
  void showError(std::string_view message);
  // Any thread: shows the window modally and waits until it closes; the
  // result is its modal result (Cancel when the timeout closed it). The
  // window belongs to the screen until the call returns; its handlers run
  // on the calling thread.
  Answer showModal(Window& dialog);

  // Any thread but one that shows a box: performs one request as the
  // operator would and returns the reply. Requests that work a control or
  // a menu item reply once the click is delivered, before its handler
  // finishes, so that a handler that opens a box does not hold the reply.
  // Every request first lets the work that earlier requests started settle
  // (a handler that is still running or a box about to open).
  Reply handle(const Request& request);

  // Any thread: from now on handle() fails at once, and the requests it is
  // working on give up waiting, so that a socket server shutting down on
  // the main thread is not held by a request waiting for that thread.
  void stopRequests();

  bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }

  // Any thread: says that what the screen shows has changed. Boxes and
  // dialogs opening and closing, and requests that work controls or menu
  // items (once their handlers have run), say so by themselves; code that
  // changes the model on its own (a log control's source, the tray) calls
  // this. Each change counts up the screen's version.
  void changed();
  // Any thread: `listener` is called with the new version after each
  // change, on the thread that made it and under the screen's lock, so it
  // must only take note (e.g. wake a thread) and never call the screen.
  // An empty function removes it.
  void setChangeListener(std::function<void(uint64_t version)> listener);
  uint64_t version() const;

 private:
  struct Shared;
  struct Queue;
  struct Entry;

  void requireMainThread(const char* what) const;
  void announce();

  Reply doLog();
  Reply doTray();
  Reply doMenu(const std::string& item);
  Reply doBoxes();
  Reply doWindows();
  Reply doAnswer(const std::string& button, const std::string& window);
  Reply doClose(const std::string& window);
  Reply doControl(const Request& request);
  Reply doWatch();

  ScreenOptions options_;
  std::thread::id mainThread_;
  std::shared_ptr<Shared> shared_;
  TrayIcon tray_;
  std::vector<std::unique_ptr<Window>> windows_;
  Window* logWindow_ = nullptr;
  std::string logControl_;
};

}  // namespace rvz::desktop
