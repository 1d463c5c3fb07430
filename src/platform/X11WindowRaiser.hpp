#pragma once
// Raises the top-level windows of a process on the X server named by
// $DISPLAY, through the window manager's active-window request (EWMH) and a
// plain raise. libX11 is loaded when first needed, so the launcher runs
// without it and without a display.
//
// Thread: any; each call opens and closes its own server connection.
#include <cstdint>

namespace hexora::platform::X11WindowRaiser {

/// True when at least one window whose _NET_WM_PID is `processIdentifier` was
/// asked to come to the front. False without $DISPLAY, without libX11, when
/// the server cannot be reached (a Wayland session without X) or when the
/// process has no window there.
bool raiseWindowsOf(std::int32_t processIdentifier);

}  // namespace hexora::platform::X11WindowRaiser
