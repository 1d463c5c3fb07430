#pragma once
// The only path from the workers to the screen. Producers on any thread
// append UIUpdateEvents to queue(); a repeating 0.01 s timer on the main
// thread calls update(), which drains the queue, applies state changes
// (message text and colour, progress bars, close button), fills the active
// progress bar, hides the window on request, animates the dots of the working
// states and stops itself once a final state is reached.
//
// Thread: start(), stop(), update() and applyState() run on the main thread;
// queue().append() may be called from any thread.
// Ownership: the manager holds its view and its timer; it is held by the
// main window and by the worker thread (std::shared_ptr). The view may be
// null (nothing is drawn), and so may the timer (start() then reports the
// failure in telemetry).
#include "engine/Color.hpp"
#include "engine/IDisplayTimer.hpp"
#include "engine/ILauncherView.hpp"
#include "engine/LauncherState.hpp"
#include "engine/ThreadSafeArray.hpp"
#include "engine/UIUpdateEvent.hpp"

#include <memory>

namespace hexora {

class UIUpdateManager {
public:
    static constexpr double tickIntervalSeconds = 0.01;
    /// Failure text colour (252/256, 49/256, 9/256).
    static constexpr Color redColor{0.984375, 0.19140625, 0.03515625, 1.0};
    /// Normal text colour (230/256, 231/256, 232/256).
    static constexpr Color normalColor{0.8984375, 0.90234375, 0.90625, 1.0};

    UIUpdateManager(std::shared_ptr<ILauncherView> viewController, std::shared_ptr<IDisplayTimer> timer);
    ~UIUpdateManager();
    UIUpdateManager(const UIUpdateManager&) = delete;
    UIUpdateManager& operator=(const UIUpdateManager&) = delete;

    /// Schedules the repeating timer unless it runs already. When no timer
    /// could be scheduled, queues the "UIUpdateManager"/"start"/"Failed" record.
    void start();
    /// Cancels the timer, drops every pending event and sets tickCount to 0.
    void stop();
    /// One tick: drains the queue (a hide-window event ends the tick at once,
    /// leaving the rest for the next one), then acts on currentState().
    void update();
    /// Makes `state` current and shows it.
    void applyState(LauncherState state);

    /// The pending display events; producers append from any thread.
    ThreadSafeArray<UIUpdateEvent>& queue() { return queue_; }

    bool isRunning() const { return running_; }
    LauncherState currentState() const { return currentState_; }
    int tickCount() const { return tickCount_; }
    const std::shared_ptr<ILauncherView>& viewController() const { return viewController_; }

private:
    bool applyEvent(const UIUpdateEvent& event);
    void actOnCurrentState();
    void showText(LauncherState state, const std::optional<Color>& color);

    std::shared_ptr<IDisplayTimer> timer_;
    bool running_ = false;
    std::shared_ptr<ILauncherView> viewController_;
    ThreadSafeArray<UIUpdateEvent> queue_;
    LauncherState currentState_ = LauncherState::Initializing;
    int tickCount_ = 0;
};

}  // namespace hexora
