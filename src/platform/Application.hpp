#pragma once
// The application the launcher runs in: its main queue and its termination.
// The Qt shell installs the real one; without a shell (tests, tools) the
// default runs main-queue blocks on a private serial thread and records a
// termination request instead of ending the process.
//
// Thread: any thread may call submitToMain(); blocks run one at a time, in
// submission order, on the main thread. terminate() is called from a main
// queue block.
#include <functional>
#include <memory>

namespace hexora::platform {

class Application {
public:
    virtual ~Application() = default;
    /// Runs `block` asynchronously on the main thread; returns at once.
    virtual void submitToMain(std::function<void()> block) = 0;
    /// Asks the application to quit (the shell defers while work runs).
    virtual void terminate() = 0;

    /// The installed application; a headless one unless install() replaced it.
    static std::shared_ptr<Application> current();
    /// Replaces the process application; nullptr restores the headless one.
    static void install(std::shared_ptr<Application> application);
};

}  // namespace hexora::platform
