#include "app/AppDelegate.hpp"

#include "engine/Launcher.hpp"
#include "services/internal/Log.hpp"

namespace hexora::app {

AppDelegate::AppDelegate(std::function<void()> quit) : quit_(std::move(quit)) {}

void AppDelegate::applicationDidFinishLaunching() {
    Log::info("AppDelegate.applicationDidFinishLaunching");
    Launcher::shared().start();
}

void AppDelegate::applicationWillTerminate() {
    Log::info("AppDelegate.applicationWillTerminate");
    // The worker thread must not outlive the program: nothing of the
    // process's state may go away under it.
    Launcher::shared().stop();
}

bool AppDelegate::applicationShouldTerminate() {
    auto& launcher = Launcher::shared();
    auto thread = launcher.workerThread();
    if (thread && thread->isRun()) {
        Log::info("AppDelegate.applicationShouldTerminate: updater is running");
        launcher.requestTerminate();
        thread->cancel();
        // Draw the notice now: the run may end, and the application with it,
        // before the display's next tick.
        if (const auto& manager = thread->uiUpdateManager(); manager->isRunning()) manager->update();
        return false;
    }
    // Once the run is over the quit goes through at once; a last telemetry
    // flush still on its way is given up when the event loop has ended.
    Log::info("AppDelegate.applicationShouldTerminate: terminate now");
    return true;
}

void AppDelegate::applicationOpenUrls(const std::vector<std::string>& urls) { Launcher::shared().handleOpenUrls(urls); }

void AppDelegate::terminate() {
    if (applicationShouldTerminate() && quit_) quit_();
}

}  // namespace hexora::app
