// Activation of a registered local server.
#include "client/activation.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/registry/hive.h"
#include "platform/remoting/hresults.h"

namespace rvz::client {

namespace {

constexpr HRESULT CO_E_APPNOTFOUND_ = static_cast<HRESULT>(0x800401F5);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE_ = static_cast<HRESULT>(0x80080005);
constexpr int kMaxStarts = 5;

bool isGuid(std::string_view s) { return !s.empty() && s.front() == '{'; }

// Starts the program detached: a session of its own, standard streams on
// /dev/null, none of this process's descriptors (the channel's sockets
// among them). Only system calls run between fork and exec.
pid_t startDetached(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw ComError(CO_E_SERVER_EXEC_FAILURE_, "Cannot start " + argv[0] + ": fork failed");
  if (pid == 0) {
    ::setsid();
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::syscall(SYS_close_range, 3u, ~0u, 0u);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

bool unreachable(HRESULT hr) { return hr == remoting::RPC_S_SERVER_UNAVAILABLE; }

}  // namespace

std::optional<std::string> registeredLocalServer(const std::filesystem::path& hivePath, std::string_view className) {
  registry::Hive hive(hivePath.empty() ? registry::Hive::defaultFile() : hivePath);
  std::string clsid(className);
  if (!isGuid(clsid)) {
    auto id = hive.value(clsid + "\\Clsid", "");
    if (!id || id->empty()) return std::nullopt;
    clsid = *id;
  }
  auto command = hive.value("CLSID\\" + clsid + "\\LocalServer32", "");
  if (!command || command->find_first_not_of(' ') == std::string::npos) return std::nullopt;
  return command;
}

std::vector<std::string> splitCommand(std::string_view command) {
  std::vector<std::string> parts;
  size_t i = command.find_first_not_of(' ');
  if (i == std::string_view::npos) throw ComError(CO_E_APPNOTFOUND_, "The registered server command is empty");
  if (command[i] == '"') {
    size_t close = command.find('"', i + 1);
    if (close == std::string_view::npos || close == i + 1)
      throw ComError(CO_E_APPNOTFOUND_, "The registered server command " + std::string(command) +
                                            " has an unclosed or empty quoted program");
    parts.emplace_back(command.substr(i + 1, close - i - 1));
    i = close + 1;
  } else {
    size_t end = command.find(' ', i);
    if (end == std::string_view::npos) end = command.size();
    parts.emplace_back(command.substr(i, end - i));
    i = end;
  }
  while (i < command.size()) {
    size_t start = command.find_first_not_of(' ', i);
    if (start == std::string_view::npos) break;
    size_t end = command.find(' ', start);
    if (end == std::string_view::npos) end = command.size();
    parts.emplace_back(command.substr(start, end - start));
    i = end;
  }
  return parts;
}

std::unique_ptr<Client> connectActivating(const ClientOptions& options, std::string_view className,
                                          const ActivationOptions& activation) {
  std::optional<std::string> command;
  try {
    return std::make_unique<Client>(options);
  } catch (const ComError& e) {
    if (!unreachable(e.hresult())) throw;
    try {
      command = registeredLocalServer(activation.hive, className);
    } catch (const std::exception&) {
      throw e;  // an unreadable hive names no server: the connection's failure stands
    }
    if (!command) throw;
  }
  std::vector<std::string> argv = splitCommand(*command);
  argv.push_back("-Embedding");

  auto deadline = std::chrono::steady_clock::now() + activation.wait;
  pid_t child = startDetached(argv);
  int starts = 1;
  std::string last;
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      return std::make_unique<Client>(options);
    } catch (const ComError& e) {
      if (!unreachable(e.hresult())) throw;
      last = e.what();
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
      child = -1;
      if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        throw ComError(CO_E_SERVER_EXEC_FAILURE_, "Cannot run the registered server " + argv[0]);
      if (starts < kMaxStarts) {
        child = startDetached(argv);
        ++starts;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  throw ComError(CO_E_SERVER_EXEC_FAILURE_, "The server " + argv[0] + " started for " + std::string(className) +
                                                " did not answer at " + options.endpoint + " in time: " + last);
}

}  // namespace rvz::client
