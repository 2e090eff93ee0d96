// The screen client: connect, send one request line, read one reply line.
#include "platform/desktop/screen_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "platform/desktop/unix_socket.h"
#include "platform/files/files.h"

namespace rvz::desktop {

namespace {

constexpr const char* kUsage =
    "usage: quib screen [--socket PATH] [--window NAME] COMMAND\n"
    "  log | tray | boxes | windows | watch | close | menu ITEM | answer BUTTON |\n"
    "  set CONTROL TEXT | click CONTROL | dropdown CONTROL\n";

}  // namespace

std::filesystem::path defaultSocketPath() { return files::homeFolder() / ".screen.sock"; }

Reply sendScreenRequest(const Request& request, const std::filesystem::path& socketPath,
                        std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  detail::UnixAddress addr(socketPath);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ScreenError(std::string("cannot create a socket: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::connect(fd, addr.get(), addr.size()) != 0)
    throw ScreenError("cannot reach the screen at " + socketPath.string() + ": " + std::strerror(errno));
  detail::writeAll(fd, encodeRequest(request) + "\n", deadline, "screen request");
  ::shutdown(fd, SHUT_WR);
  std::string line = detail::readLine(fd, kMaxReplyBytes, deadline, "screen reply");
  if (line.empty()) throw ScreenError("the screen at " + socketPath.string() + " closed without a reply");
  return decodeReply(line);
}

void watchScreen(const std::filesystem::path& socketPath, int stopFd, const std::function<void(uint64_t)>& onVersion) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  detail::UnixAddress addr(socketPath);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ScreenError(std::string("cannot create a socket: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::connect(fd, addr.get(), addr.size()) != 0)
    throw ScreenError("cannot reach the screen at " + socketPath.string() + ": " + std::strerror(errno));
  detail::writeAll(fd, encodeRequest(Request{Command::Watch, {}, {}}) + "\n", deadline, "screen request");
  std::string pending;
  char buf[1024];
  while (true) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(fds, stopFd >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      throw ScreenError(std::string("cannot wait for the screen: ") + std::strerror(errno));
    }
    if (stopFd >= 0 && fds[1].revents) return;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw ScreenError("cannot read from the screen: " + std::string(std::strerror(errno)));
    }
    if (n == 0) throw ScreenError("the screen at " + socketPath.string() + " went away");
    pending.append(buf, static_cast<size_t>(n));
    if (pending.size() > kMaxRequestBytes) throw ScreenError("the screen sent a line that is too long");
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      Reply r = decodeReply(std::string_view(pending).substr(0, nl));
      pending.erase(0, nl + 1);
      if (!r.ok) throw ScreenError(r.text);
      uint64_t v = 0;
      try {
        v = std::stoull(r.text);
      } catch (const std::exception&) {
        throw ScreenError("the screen sent \"" + r.text + "\" where a version was expected");
      }
      onVersion(v);
    }
  }
}

int runScreenCommand(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = argsIn;
  if (!args.empty() && args.front() == "screen") args.erase(args.begin());
  std::filesystem::path socket;
  Request request;
  size_t i = 0;
  while (i < args.size() && (args[i] == "--socket" || args[i] == "--window")) {
    if (i + 1 >= args.size()) {
      err << "quib screen: " << args[i] << " needs a value\n" << kUsage;
      return 2;
    }
    if (args[i] == "--socket")
      socket = args[i + 1];
    else
      request.window = args[i + 1];
    i += 2;
  }
  if (i >= args.size()) {
    err << kUsage;
    return 2;
  }
  auto command = commandFromName(args[i]);
  if (!command) {
    err << "quib screen: unknown command \"" << args[i] << "\"\n" << kUsage;
    return 2;
  }
  request.command = *command;
  request.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  if (request.args.size() != commandArity(request.command)) {
    err << "quib screen: " << args[i] << " takes " << commandArity(request.command) << " argument"
        << (commandArity(request.command) == 1 ? "" : "s") << "\n"
        << kUsage;
    return 2;
  }
  try {
    if (request.command == Command::Watch) {
      watchScreen(socket.empty() ? defaultSocketPath() : socket, -1, [&](uint64_t v) { out << v << std::endl; });
      return 0;
    }
    Reply reply = sendScreenRequest(request, socket.empty() ? defaultSocketPath() : socket);
    if (!reply.ok) {
      err << "quib screen: " << reply.text << "\n";
      return 1;
    }
    if (request.command == Command::Log) {
      out << reply.text;  // exactly as the window holds it
    } else if (!reply.text.empty()) {
      out << reply.text << "\n";
    }
    out.flush();
    return 0;
  } catch (const std::exception& e) {
    err << "quib screen: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace rvz::desktop
