#pragma once
// Asks a process's top-level windows to close, as a click on the window's
// close button does: a WM_DELETE_WINDOW message on the X server named by
// `display`, to every window whose _NET_WM_PID is `pid`.
#include <sys/types.h>

#include <string>

namespace hexora::e2e {

/// True when at least one window of `pid` was asked to close.
bool closeWindowsOf(const std::string& display, pid_t pid);

}  // namespace hexora::e2e
