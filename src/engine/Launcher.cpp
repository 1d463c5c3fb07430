#include "engine/Launcher.hpp"

#include "engine/OpenedUrlFlag.hpp"
#include "engine/WorkerBase.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

#include <stdexcept>

namespace hexora {
namespace {
Rum::LogData record(const char* event, const char* eventState) {
    return Rum::LogData("WorkerThread", event, eventState, "INFO");
}
}  // namespace

Launcher& Launcher::shared() {
    static Launcher instance;
    return instance;
}

void Launcher::setFirstWorkers(LauncherFirstWorkers firstWorkers) {
    std::lock_guard lock(mutex_);
    firstWorkers_ = std::move(firstWorkers);
}

void Launcher::setup(std::shared_ptr<UIUpdateManager> uiUpdateManager) {
    if (!uiUpdateManager) throw std::invalid_argument("Launcher::setup needs a UIUpdateManager");
    std::lock_guard lock(mutex_);
    if (firstWorkers_.productSetup) firstWorkers_.productSetup();
    if (workerThread_) {
        record("setup", "Failed").addData("Message", "workerThread is already initialized").append();
        return;
    }
    workerThread_ = std::make_shared<Worker::WorkerThread>(std::move(uiUpdateManager));
    record("setup", "Start").append();
}

void Launcher::start() {
    std::lock_guard lock(mutex_);
    if (!workerThread_) {
        Log::info("start: starting updater thread without UIUpdateManager is not allowed");
        return;
    }
    if (workerThread_->isRun()) {
        Log::info("start: updater is already running, ignore");
        return;
    }
    if (!OpenedUrlFlag::isSet()) {
        auto boot = firstWorkers_.boot ? firstWorkers_.boot(workerThread_) : nullptr;
        if (!boot) {
            Log::error("start: no boot worker installed, ignore");
            return;
        }
        workerThread_->workers().append(std::move(boot));
    }
    workerThread_->start();
}

void Launcher::requestTerminate() {
    std::shared_ptr<Worker::WorkerThread> thread = workerThread();
    if (thread) thread->requestTerminate();
}

void Launcher::stop() {
    std::shared_ptr<Worker::WorkerThread> thread = workerThread();
    if (!thread) return;
    // A run is cancelled; the ended run's last flush is not waited for.
    if (thread->isRun()) thread->cancel();
    thread->endLastFlush();
    thread->join();
}

void Launcher::handleOpenUrls(const std::vector<std::string>& urls) {
    for (const auto& url : urls) Log::info("handleOpenUrls: " + url);
    record("openUrls", "Info").addData("Message", openUrlsMessage(urls)).append();
    std::lock_guard lock(mutex_);
    if (!workerThread_) {
        Log::info("handleOpenUrls: workerThread is nil, ignore");
        return;
    }
    if (workerThread_->isRun()) {
        Log::info("handleOpenUrls: updater is running, ignore");
        return;
    }
    auto handOff = firstWorkers_.openUrls ? firstWorkers_.openUrls(workerThread_, urls) : nullptr;
    if (!handOff) {
        Log::error("handleOpenUrls: no hand-off worker installed, ignore");
        return;
    }
    workerThread_->workers().append(std::move(handOff));
    OpenedUrlFlag::set(true);
    Log::info("handleOpenUrls: enqueue to worker");
}

std::shared_ptr<Worker::WorkerThread> Launcher::workerThread() const {
    std::lock_guard lock(mutex_);
    return workerThread_;
}

std::string Launcher::openUrlsMessage(const std::vector<std::string>& urls) {
    std::string text;
    for (const auto& url : urls) text += url + "\n";
    return text;
}

void Launcher::resetForTesting() {
    auto& launcher = shared();
    std::lock_guard lock(launcher.mutex_);
    launcher.workerThread_.reset();
    launcher.firstWorkers_ = {};
    OpenedUrlFlag::set(false);
}

}  // namespace hexora
