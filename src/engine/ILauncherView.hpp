#pragma once
// What the UIUpdateManager draws into: the main window's message line, its
// ten progress bars (at most one shown), the window itself and its close
// button. The Qt shell implements it; tests use a fake.
//
// Thread: the manager calls every operation on the main thread only.
#include "engine/Color.hpp"

#include <optional>
#include <string>

namespace hexora {

class ILauncherView {
public:
    virtual ~ILauncherView() = default;

    /// Resets the active bar to 0 and hides it, then advances the bar index
    /// (also when hiding). show true: the bar at the new index becomes the
    /// active bar and is shown. show false: every bar is hidden; the active
    /// bar stays the same.
    virtual void switchProgressBar(bool show) = 0;

    /// An absent or empty text empties the message line; an absent colour
    /// keeps the current one.
    virtual void setMessage(const std::optional<std::string>& text, const std::optional<Color>& color) = 0;

    /// Sets the value (0 to 100) of the active bar; nothing when there is none.
    virtual void setProgressValue(double value) = 0;

    /// Shows or hides the window; nothing when the view has no window.
    virtual void setWindowVisible(bool visible) = 0;

    /// Enables or disables the window's close button; nothing when there is
    /// no window or no close button.
    virtual void setCloseButtonEnabled(bool enabled) = 0;
};

}  // namespace hexora
