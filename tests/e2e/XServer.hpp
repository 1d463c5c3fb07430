#pragma once
// A private X server (Xvfb) for one end-to-end test, so the launcher runs
// with a real display and its window can be photographed. Xvfb picks a free
// display number itself (-displayfd). When Xvfb is not installed, available()
// is false and the launcher runs on Qt's offscreen platform instead.
//
// Thread: the test thread only.
#include "e2e/ChildProcess.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace hexora::e2e {

class XServer {
public:
    /// Starts Xvfb when it is installed; `logFile` gets its output.
    explicit XServer(const std::filesystem::path& logFile);
    ~XServer();

    bool available() const { return process_ != nullptr; }
    /// ":<n>", empty when not available.
    const std::string& display() const { return display_; }
    /// Whether a window named `title` is shown (mapped and viewable).
    bool hasWindow(const std::string& title) const;
    /// Saves the whole screen as a PNG (ImageMagick's import); false when
    /// there is no display or the tool failed.
    bool screenshot(const std::filesystem::path& file) const;

private:
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

/// Runs a program to its end (at most 20 s) and returns its output, or
/// nothing when it could not run or failed.
std::optional<std::string> runTool(const std::vector<std::string>& command);

}  // namespace hexora::e2e
