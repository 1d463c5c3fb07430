#pragma once
// The shape shared by the multi-file workers (download, validation, gunzip,
// unzip): one unit per input file, a `jobs` queue, at most `coreCount` unit
// threads taking units from `jobs`, and the worker thread polling the units
// every 0.01 s for progress, cancellation and the end of the run.
//
// How a worker uses it, inside its work() on the worker thread:
//   1. check its inputs, prepare its output place;
//   2. if (MultiFile::isCancelled(*this)) return;           // quietly
//   3. MultiFile::postState(*this, LauncherState::...);     // its working state
//   4. make every unit (in input order), push it to its unit list and
//      jobs.append(unit); all units exist before step 5;
//   5. auto outcome = MultiFile::runUnits(*this, units,
//          [this] { XThread(*this).main(); });   // its named unit thread
//   6. if (outcome.cancelled) return;                        // quietly
//      outcome.passed() tells whether the sum of progress equals the number
//      of units; outcome.sum and outcome.count give the figures for texts.
//
// runUnits starts min(units, coreCount) threads (none for no units), sleeps
// 0.01 s, then polls (each 0.01 s sleep ends early once the last unit thread
// has ended, so the run ends when its last unit does, not at the next look):
// the first time the run's token source reports cancelled it calls cancel()
// on every present unit; it sums progress (an absent unit adds 0); while
// not cancelled it posts a progress event of sum / count * 100 (100 when
// there are no units); it leaves when every present unit isFinal(). Before returning it joins its threads, so no unit
// thread outlives the call and every after-unit step (e.g. the download's
// domain index move) is done when the outcome is read; the outcome's sum is
// taken after that join, so a unit that changes its progress as it becomes
// final is counted with its last value.
//
// A unit type is held by std::shared_ptr and offers, callable from any thread:
//   double progress() const;  // 0..1, the unit's share of the run
//   bool isFinal() const;     // the unit will not change any more; a unit
//                             // that failed but will be tried again is NOT final
//   void cancel();            // marks an unfinished unit so it ends promptly
// The worker thread reads progress() and isFinal() while unit threads write;
// those must be atomic or locked in the unit.
//
// Each unit thread is one of the worker's named thread types (DownloadThread,
// ValidationThread, GunzipThread, UnzipThread), whose main() takes units from
// the worker's jobs until it is empty (drainJobs) and, for each, on that
// thread: runs the unit's operation, waits while it is in its working state
// (waitWhile), then does the worker's after-unit step. An after-unit step may
// append the unit to jobs again (a retry); a thread takes it again. The worker
// outlives its unit threads: runUnits joins them.
//
// Failure: runUnits throws nothing of its own; an exception escaping a
// thread's main ends the process (std::terminate), so unit operations catch
// theirs.
#include "engine/LauncherState.hpp"
#include "engine/ThreadSafeArray.hpp"
#include "platform/Wakeup.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace hexora::Worker {
class Worker;
}

namespace hexora::Worker::Common {

/// What a multi-file run came to.
struct MultiFileOutcome {
    /// The run's token source reported cancelled at the end: return quietly.
    bool cancelled = false;
    /// The sum of the units' progress when every unit was final.
    double sum = 0.0;
    /// The number of units, as a real.
    double count = 0.0;
    /// Not cancelled, and the sum equals the count exactly.
    bool passed() const { return !cancelled && sum == count; }
};

namespace MultiFile {

/// The pause after a passed download, gunzip, unzip or validation: the full
/// bar stays on screen for a moment before the next step.
inline constexpr double PassedStepPauseSeconds = 1.0;

/// True when the token source of the worker's thread reports cancelled; a
/// thread without a source is never cancelled.
bool isCancelled(const Worker& worker);
/// Posts a state change (event type 0) to the worker's display manager.
void postState(const Worker& worker, LauncherState state);
/// Posts a progress value (event type 1, a percentage) to the worker's display manager.
void postProgress(const Worker& worker, double percent);
/// The worker's coreCount (at least 1).
std::int64_t threadLimit(const Worker& worker);
/// Sleeps 0.001 s at a time while `working()` holds (for unit threads).
void waitWhile(const std::function<bool()>& working);
/// Sleeps `seconds` through the clock seam.
void pause(double seconds);
/// Sleeps `seconds` through the clock seam, less once `wakeup` is raised.
void pause(double seconds, platform::Wakeup& wakeup);
/// The pause after a passed step (PassedStepPauseSeconds) on the worker
/// thread; it ends at once when the run is cancelled.
void pauseAfterPassedStep(const Worker& worker);
/// Logs "Start <name> : " or "Ended <name> : " with "<name: thread id>" of
/// the calling thread (for unit threads that report their lifetime).
void logUnitThread(const char* name, bool starting);

/// One unit thread: takes units from `jobs` until none is left and runs each.
template <class Unit>
void drainJobs(ThreadSafeArray<std::shared_ptr<Unit>>& jobs,
               const std::function<void(const std::shared_ptr<Unit>&)>& runUnit) {
    while (auto unit = jobs.takeFirst()) {
        if (*unit) runUnit(*unit);
    }
}

/// The sum of the units' progress; an absent unit adds 0.
template <class Unit>
double progressSum(const std::vector<std::shared_ptr<Unit>>& units) {
    double sum = 0.0;
    for (const auto& unit : units) {
        if (unit) sum += unit->progress();
    }
    return sum;
}

/// Step 5 of the shape (step 6 reads its outcome); see the header comment. Called on the worker
/// thread once all units are queued in the worker's jobs. Each of the
/// min(units, coreCount) threads runs `threadMain` (the main() of the
/// worker's named unit thread type), which drains the worker's jobs.
template <class Unit>
MultiFileOutcome runUnits(const Worker& worker, const std::vector<std::shared_ptr<Unit>>& units,
                          const std::function<void()>& threadMain) {
    const auto threadCount = std::min<std::int64_t>(static_cast<std::int64_t>(units.size()), threadLimit(worker));
    platform::Wakeup lastThreadEnded;
    std::atomic<std::int64_t> threadsLeft{threadCount};
    std::vector<std::thread> threads;
    for (std::int64_t i = 0; i < threadCount; ++i) {
        threads.emplace_back([&threadMain, &lastThreadEnded, &threadsLeft] {
            threadMain();
            // Every unit is final once the last thread found no job left.
            if (threadsLeft.fetch_sub(1) == 1) lastThreadEnded.raise();
        });
    }

    MultiFileOutcome outcome;
    outcome.count = static_cast<double>(units.size());
    bool cancelSeen = false;
    pause(0.01, lastThreadEnded);
    for (;;) {
        if (!cancelSeen && isCancelled(worker)) {
            for (const auto& unit : units) {
                if (unit) unit->cancel();
            }
            cancelSeen = true;
        }
        bool allFinal = true;
        for (const auto& unit : units) {
            if (unit && !unit->isFinal()) allFinal = false;
        }
        const double sum = progressSum(units);
        if (!isCancelled(worker)) postProgress(worker, units.empty() ? 100.0 : sum / outcome.count * 100.0);
        if (allFinal) break;
        pause(0.01, lastThreadEnded);
    }
    for (auto& thread : threads) thread.join();
    // Every unit is final and every thread done: the figures can no longer move.
    outcome.sum = progressSum(units);
    outcome.cancelled = isCancelled(worker);
    return outcome;
}

}  // namespace MultiFile
}  // namespace hexora::Worker::Common
