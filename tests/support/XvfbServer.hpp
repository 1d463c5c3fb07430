#pragma once
// A private virtual X server (Xvfb) for tests that run a real window: the
// shell's program tests and the end-to-end tests (which photograph it). The
// server picks a free display number itself and reports it (-displayfd), so
// tests running side by side never race for a display. When Xvfb is not
// installed or does not come up, available() is false (an end-to-end test
// then runs the launcher on Qt's offscreen platform). The server is stopped
// when the object goes away, and killed with the thread that started it.
//
// Thread: the test's thread.
#include "support/ChildProcess.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora::test {

class XvfbServer {
public:
    /// Starts Xvfb with one 1024x768 screen of 24-bit colour and waits (at
    /// most 30 s) until it accepts clients; its output goes to `logFile`
    /// (none when empty).
    explicit XvfbServer(const std::filesystem::path& logFile = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool available() const { return process_ != nullptr; }
    /// The value for DISPLAY, ":<n>"; empty when not available.
    const std::string& display() const { return display_; }

    /// Whether a window named `title` is shown (mapped and viewable).
    bool hasWindow(const std::string& title) const;

    /// Writes a PNG of the whole screen (ImageMagick's import), making its
    /// folder; false when there is no display or that failed.
    bool screenshot(const std::filesystem::path& png) const;

    /// The output of an X tool that takes "-display" and "-name" (xprop,
    /// xwininfo) on the window named `title`, with `arguments` after the name
    /// (shell words, e.g. the properties xprop prints); nullopt when the tool
    /// failed (no such window yet).
    std::optional<std::string> describeWindow(const std::string& tool, const std::string& title,
                                              const std::string& arguments = "") const;

    /// The number of distinct colours in `png` (ImageMagick's identify); 0
    /// when it cannot be read. A blank screen has one.
    static int colourCount(const std::filesystem::path& png);

private:
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

/// Runs a program (looked up in /usr/bin, /usr/local/bin and /bin) to its end
/// with the test's environment and returns its standard output; nothing when
/// it could not run or ended with a non-zero status. Its standard error is
/// dropped.
std::optional<std::string> runTool(const std::vector<std::string>& command);

}  // namespace hexora::test
