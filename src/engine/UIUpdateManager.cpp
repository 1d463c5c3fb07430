#include "engine/UIUpdateManager.hpp"

#include "engine/DisplayStates.hpp"
#include "engine/StateMessages.hpp"
#include "platform/Application.hpp"
#include "services/rum/LogData.hpp"

namespace hexora {
namespace {
using S = LauncherState;

constexpr int animationTicks = 5;
constexpr int completedTicks = 2;

std::string textOf(LauncherState state) {
    const auto& table = StateMessages::messages();
    auto entry = table.find(state);
    return entry == table.end() ? std::string() : entry->second->getMessage();
}
}  // namespace

UIUpdateManager::UIUpdateManager(std::shared_ptr<ILauncherView> viewController, std::shared_ptr<IDisplayTimer> timer)
    : timer_(std::move(timer)), viewController_(std::move(viewController)) {}

UIUpdateManager::~UIUpdateManager() { stop(); }

void UIUpdateManager::start() {
    if (running_) return;
    running_ = timer_ && timer_->start(tickIntervalSeconds, [this] { update(); });
    if (!running_) Rum::LogData("UIUpdateManager", "start", "Failed", "INFO").append();
}

void UIUpdateManager::stop() {
    if (running_) timer_->stop();
    running_ = false;
    queue_.removeAll();
    tickCount_ = 0;
}

void UIUpdateManager::update() {
    while (auto event = queue_.takeFirst()) {
        if (!applyEvent(*event)) return;
    }
    actOnCurrentState();
}

// Applies one event; false when the tick must end here.
bool UIUpdateManager::applyEvent(const UIUpdateEvent& event) {
    switch (event.eventType) {
    case UIUpdateEvent::StateChange:
        if (event.state) applyState(*event.state);
        return true;
    case UIUpdateEvent::ProgressValue:
        if (event.progress && viewController_) viewController_->setProgressValue(*event.progress);
        return true;
    case UIUpdateEvent::HideWindow:
        if (viewController_) viewController_->setWindowVisible(false);
        return false;
    default: return true;
    }
}

void UIUpdateManager::actOnCurrentState() {
    const DisplayState& row = displayStateOf(currentState_);
    if (row.final) {
        stop();
    } else if (row.animated) {
        if (++tickCount_ >= animationTicks) {
            showText(currentState_, std::nullopt);
            tickCount_ = 0;
        }
    } else if (currentState_ == S::ProcessCompleted) {
        if (++tickCount_ >= completedTicks) {
            stop();
            platform::Application::current()->terminate();
        }
    }
}

void UIUpdateManager::showText(LauncherState state, const std::optional<Color>& color) {
    auto text = textOf(state);
    if (viewController_) viewController_->setMessage(text, color);
}

namespace {
// How each look draws a state: the progress bars, the message colour
// (none: the message is cleared), the close button, and whether the
// animation count starts again.
struct Look {
    bool showBars;
    bool showMessage;
    bool red;
    bool closeEnabled;
    bool resetTicks;
};

Look lookOf(StateLook look) {
    switch (look) {
    case StateLook::Working: return {false, true, false, false, true};
    case StateLook::Progress: return {true, true, false, false, true};
    case StateLook::Failure: return {false, true, true, true, true};
    case StateLook::Notice: return {false, true, false, true, true};
    case StateLook::Terminating: return {false, true, false, false, false};
    case StateLook::Completed: return {false, false, false, false, true};
    case StateLook::Passive: break;
    }
    return {};
}
}  // namespace

void UIUpdateManager::applyState(LauncherState state) {
    currentState_ = state;
    const StateLook kind = displayStateOf(state).look;
    if (kind == StateLook::Passive) return;
    const Look look = lookOf(kind);
    auto* view = viewController_.get();
    if (view) view->switchProgressBar(look.showBars);
    if (look.showMessage)
        showText(state, look.red ? redColor : normalColor);
    else if (view)
        view->setMessage(std::string(), std::nullopt);
    // The completed state leaves the close button as it was.
    if (view && kind != StateLook::Completed) view->setCloseButtonEnabled(look.closeEnabled);
    if (look.resetTicks) tickCount_ = 0;
}

}  // namespace hexora
