#include "workers/common/MultiFileWorker.hpp"

#include "engine/Worker.hpp"
#include "platform/Clock.hpp"
#include "services/internal/Log.hpp"

#include <sstream>

namespace hexora::Worker::Common::MultiFile {

bool isCancelled(const Worker& worker) { return worker.isCancelled(); }

void postState(const Worker& worker, LauncherState state) { worker.post(UIUpdateEvent::stateChange(state)); }

void postProgress(const Worker& worker, double percent) { worker.post(UIUpdateEvent::progressValue(percent)); }

std::int64_t threadLimit(const Worker& worker) { return std::max<std::int64_t>(1, worker.coreCount()); }

void waitWhile(const std::function<bool()>& working) {
    while (working()) platform::sleepSeconds(0.001);
}

void pause(double seconds) { platform::sleepSeconds(seconds); }

void pause(double seconds, platform::Wakeup& wakeup) { platform::sleepSecondsUnlessWoken(seconds, wakeup); }

void pauseAfterPassedStep(const Worker& worker) { worker.sleepUnlessCancelled(PassedStepPauseSeconds); }

void logUnitThread(const char* name, bool starting) {
    std::ostringstream text;
    text << (starting ? "Start " : "Ended ") << name << " : <" << name << ": " << std::this_thread::get_id() << ">";
    Log::info(text.str());
}

}  // namespace hexora::Worker::Common::MultiFile
