#pragma once
// The application the launcher runs in: its main queue and its termination.
// The Qt shell installs the real one; without a shell (tests, tools) the
// default runs main-queue blocks on a private serial thread and records a
// termination request instead of ending the process.
//
// Thread: any thread may call submitToMain(); blocks run one at a time, in
// submission order, on the main thread. terminate() and showAlert() are
// called from a main queue block.
#include <functional>
#include <memory>
#include <string>

namespace hexora::platform {

class Application {
public:
    virtual ~Application() = default;
    /// Runs `block` asynchronously on the main thread; returns at once.
    virtual void submitToMain(std::function<void()> block) = 0;
    /// Asks the application to quit (the shell defers while work runs).
    virtual void terminate() = 0;
    /// Shows `message` in an alert (window-modal over the main window when
    /// there is one) and calls `dismissed` on the main thread once the user
    /// has closed it. Without a user interface it is dismissed at once.
    virtual void showAlert(const std::string& message, std::function<void()> dismissed) = 0;

    /// The installed application; a headless one unless install() replaced it.
    static std::shared_ptr<Application> current();
    /// Replaces the process application; nullptr restores the headless one.
    static void install(std::shared_ptr<Application> application);
};

}  // namespace hexora::platform
