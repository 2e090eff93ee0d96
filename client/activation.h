// Starting the server a class is registered to, as the platform does when a
// client asks for an object and no server is running: the class's
// LocalServer32 command from the registry hive, run with "-Embedding", and
// a bounded wait until its endpoint opens a session.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/client.h"

namespace rvz::client {

// The LocalServer32 command registered for a class named by ProgID or by
// class GUID (any letter case); nullopt when the hive names none.
std::optional<std::string> registeredLocalServer(const std::filesystem::path& hive, std::string_view className);

// A LocalServer32 command split into the program and its arguments: a
// quoted program runs to its closing quote, an unquoted one to the first
// blank. Throws ComError (CO_E_APPNOTFOUND) for an empty or unclosed one.
std::vector<std::string> splitCommand(std::string_view command);

struct ActivationOptions {
  std::filesystem::path hive;  // empty: the default hive
  std::chrono::milliseconds wait{15000};
};

// Opens a session at the options' endpoint. When no server answers there
// and the hive names the class's LocalServer32, starts that program with
// "-Embedding" in a session of its own (it outlives this process) and
// waits for it, starting it again if it ends before it serves (an old
// instance may still hold the endpoint). Throws ComError: the connection's
// own failure when nothing can be started, CO_E_SERVER_EXEC_FAILURE when
// the started server does not answer in time.
std::unique_ptr<Client> connectActivating(const ClientOptions& options, std::string_view className,
                                          const ActivationOptions& activation = {});

}  // namespace rvz::client
