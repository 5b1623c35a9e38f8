#pragma once
// Pieces shared by the files of the POSIX backend (not part of the layer's interface).
#include <poll.h>

#include <chrono>
#include <optional>
#include <vector>

#include "serial/SerialPlatform.h"

namespace lum::serial_os {

// The one place where a system error number becomes an OsError with the system's text.
OsError ErrnoError(int code);
// The OsError of the last failed call of the calling thread (errno).
OsError LastErrnoError();
// The OsError of a failed host-name look-up (getaddrinfo's EAI_* codes).
OsError ResolverError(int code);

struct Signal::Impl {
    int fd = -1;  // eventfd: readable while set
    bool autoReset = false;
};

// Takes a set auto-reset signal for the caller; false when another waiter took it first.
bool TakeSignal(Signal::Impl& s);

// poll() over `fds` until something is ready or the deadline passes, retrying on EINTR;
// returns the number of ready descriptors (0 on time-out, -1 on error).
int PollUntil(std::vector<pollfd>& fds, std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace lum::serial_os
