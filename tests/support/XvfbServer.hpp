#pragma once
// A virtual X server (Xvfb) for tests that run the real launcher window. The
// server picks a free display number itself and reports it (-displayfd), so
// tests running side by side never race for a display. The server is
// stopped when the object goes away.
//
// Thread: the test's thread.
#include <filesystem>
#include <optional>
#include <string>

namespace hexora::test {

class XvfbServer {
public:
    /// Starts Xvfb with one 1024x768 screen of 24-bit colour and waits (at
    /// most 30 s) until it accepts clients. Throws std::runtime_error when it
    /// does not come up.
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    /// The value for DISPLAY, ":<n>".
    const std::string& display() const { return display_; }

    /// Writes a PNG of the whole screen (ImageMagick's import); false when
    /// that failed.
    bool screenshot(const std::filesystem::path& png) const;

    /// The output of an X tool that takes "-display" and "-name" (xprop,
    /// xwininfo) on the window named `title`, with `arguments` after the name
    /// (e.g. the properties xprop prints); nullopt when the tool failed (no
    /// such window yet).
    std::optional<std::string> describeWindow(const std::string& tool, const std::string& title,
                                              const std::string& arguments = "") const;

    /// The number of distinct colours in `png` (ImageMagick's identify); 0
    /// when it cannot be read. A blank screen has one.
    static int colourCount(const std::filesystem::path& png);

private:
    int pid_ = -1;
    std::string display_;
};

}  // namespace hexora::test
