#include "engine/WorkerThread.hpp"

#include "engine/ErrorDescription.hpp"
#include "engine/LauncherError.hpp"
#include "engine/WorkerError.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"

#include <stdexcept>

namespace hexora::Worker {
namespace {
void record(const char* event, const char* eventState) {
    Rum::LogData("WorkerThread", event, eventState, "INFO").append();
}

// The one log line of an error that ended the run.
template <class Error>
void logError(const Error& error) {
    const auto head = "[" + error.type + "] " + error.message;
    if (auto inner = error.errorDescription())
        Log::error(head + "\n-> " + *inner);
    else if (error.code == Error::Code::Succeeded)
        Log::info(head);
    else
        Log::error(head);
}
}  // namespace

WorkerThread::WorkerThread(std::shared_ptr<UIUpdateManager> uiUpdateManager)
    : uiUpdateManager_(std::move(uiUpdateManager)) {
    if (!uiUpdateManager_) throw std::invalid_argument("WorkerThread needs a UIUpdateManager");
}

void WorkerThread::cancel() {
    auto source = cancellationTokenSource();
    if (!source || source->isCancelled()) return;
    record("cancel", "Start");
    source->cancel();
}

void WorkerThread::requestTerminate() {
    requestTerminateWith([this] {
        uiUpdateManager_->queue().append(UIUpdateEvent::stateChange(LauncherState::ReservedAppTerminating));
    });
}

void WorkerThread::main() {
    setIsRun(true);
    runWorkers([this](std::exception_ptr error) { handleFailure(error); });
    if (isCancelled()) {
        Log::info("WorkerThread: cancelled");
        record("cancel", "Succeeded");
    }
    if (endRun()) {
        Log::info("WorkerThread: terminated with terminating app");
        record("terminated with terminating app", "Succeeded");
    } else {
        Log::info("WorkerThread: terminated");
        record("terminated", "Succeeded");
    }
    // On this thread in both cases: the window keeps painting while the
    // flush waits; the termination follows once main() has returned.
    flushTelemetry();
}

void WorkerThread::flushTelemetry() {
    Rum::Api::flushSync([this] { return isLastFlushEnded(); });
}

void WorkerThread::handleFailure(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const LauncherError& failure) {
        if (failure.state) uiUpdateManager_->queue().append(UIUpdateEvent::stateChange(*failure.state));
        if (failure.rum) failure.rum->append();
        if (failure.terminateWhenAvailable.value_or(false)) markTerminateRequested();
        logError(failure);
    } catch (const WorkerError& failure) {
        logError(failure);
    } catch (...) {
        Log::error("WorkerThread main unexpected error: " + describeError(error));
    }
}

}  // namespace hexora::Worker
