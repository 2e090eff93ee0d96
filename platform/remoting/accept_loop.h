// Accepting connections on a listening socket until a stop pipe is written:
// the loop of every listener's accepting thread.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace rvz::remoting {

// Waits for connections on `listenFd` and hands each accept4 result (with
// `acceptFlags`) to `onAccepted`, -1 included (the peer went before it was
// taken); returns once `stopFd` is readable or polling fails.
template <class OnAccepted>
void acceptUntilStopped(int listenFd, int stopFd, int acceptFlags, OnAccepted onAccepted) {
  for (;;) {
    pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    onAccepted(::accept4(listenFd, nullptr, nullptr, acceptFlags));
  }
}

}  // namespace rvz::remoting
