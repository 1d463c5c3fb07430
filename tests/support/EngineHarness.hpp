#pragma once
// A worker thread wired to a display manager that draws into a fake view and
// ticks by hand: what a worker test needs to run workers and read what they
// posted. Tearing the harness down waits for a started thread and drops the
// workers left in its queue (they hold the thread).
#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "support/FakeLauncherView.hpp"

#include <memory>
#include <vector>

namespace hexora::test {

/// The values of the progress events among `events`, in order.
inline std::vector<double> progressValues(const std::vector<UIUpdateEvent>& events) {
    std::vector<double> values;
    for (const auto& event : events)
        if (event.eventType == UIUpdateEvent::ProgressValue && event.progress) values.push_back(*event.progress);
    return values;
}

struct EngineHarness {
    EngineHarness() = default;
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;
    ~EngineHarness() {
        thread->join();
        thread->workers().removeAll();
    }

    /// Starts the thread and waits until its main has returned.
    void run() {
        thread->start();
        thread->join();
    }

    /// Takes every display event queued so far.
    std::vector<UIUpdateEvent> takeEvents() {
        std::vector<UIUpdateEvent> events;
        while (auto event = manager->queue().takeFirst()) events.push_back(*event);
        return events;
    }

    /// Takes every display event queued so far and keeps the states of the state changes.
    std::vector<LauncherState> takeStates() {
        std::vector<LauncherState> states;
        for (const auto& event : takeEvents())
            if (event.eventType == UIUpdateEvent::StateChange && event.state) states.push_back(*event.state);
        return states;
    }

    /// Takes every worker queued on the thread so far, in order.
    std::vector<std::shared_ptr<Worker::WorkerBase>> takeQueued() {
        std::vector<std::shared_ptr<Worker::WorkerBase>> queued;
        while (auto worker = thread->workers().takeFirst()) queued.push_back(*worker);
        return queued;
    }

    std::shared_ptr<FakeLauncherView> view = std::make_shared<FakeLauncherView>();
    std::shared_ptr<FakeDisplayTimer> timer = std::make_shared<FakeDisplayTimer>();
    std::shared_ptr<UIUpdateManager> manager = std::make_shared<UIUpdateManager>(view, timer);
    std::shared_ptr<Worker::WorkerThread> thread = std::make_shared<Worker::WorkerThread>(manager);
};

}  // namespace hexora::test
