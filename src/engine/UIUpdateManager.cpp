#include "engine/UIUpdateManager.hpp"

#include "engine/StateMessages.hpp"
#include "platform/Application.hpp"
#include "services/rum/LogData.hpp"

namespace hexora {
namespace {
using S = LauncherState;

constexpr int animationTicks = 5;
constexpr int completedTicks = 2;

enum class Kind { Working, Progress, Failure, Notice, Terminating, Completed, Passive };

Kind kindOf(LauncherState state) {
    switch (state) {
    case S::Initializing:
    case S::CheckApp:
    case S::ApiRequest:
    case S::PatchCompleted: return Kind::Working;
    case S::Downloading:
    case S::DecompressFiles:
    case S::ValidateFiles: return Kind::Progress;
    case S::Failed_Api_Unavailable_Version:
    case S::Failed_Api:
    case S::Failed_Download:
    case S::Failed_DecompressFiles:
    case S::Failed_LoadScheme:
    case S::Failed_ReplaceFile:
    case S::Failed_Validation:
    case S::Failed_Launching_Game:
    case S::CaughException: return Kind::Failure;
    case S::Found_Launcher:
    case S::Found_App:
    case S::UnderMaintenance: return Kind::Notice;
    case S::ReservedAppTerminating:
    case S::AppTerminating: return Kind::Terminating;
    case S::ProcessCompleted: return Kind::Completed;
    case S::LaunchApp:
    case S::MinimizeApp:
    case S::Failed:
    case S::ProcessFound: break;
    }
    return Kind::Passive;
}

// States after which the display stops for good.
bool isFinal(LauncherState state) {
    switch (state) {
    case S::Failed_Api_Unavailable_Version:
    case S::Failed_Api:
    case S::Failed_Download:
    case S::Failed_DecompressFiles:
    case S::Failed_LoadScheme:
    case S::Failed_ReplaceFile:
    case S::Failed_Validation:
    case S::Failed_Launching_Game:
    case S::Found_Launcher:
    case S::Found_App:
    case S::CaughException:
    case S::ReservedAppTerminating: return true;
    default: return false;
    }
}

// States whose text animates while they stay current.
bool isAnimated(LauncherState state) {
    switch (state) {
    case S::Initializing:
    case S::CheckApp:
    case S::ApiRequest:
    case S::Downloading:
    case S::DecompressFiles:
    case S::ValidateFiles:
    case S::AppTerminating: return true;
    default: return false;
    }
}

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
    if (isFinal(currentState_)) {
        stop();
    } else if (isAnimated(currentState_)) {
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
// How each kind of state is drawn: the progress bars, the message colour
// (none: the message is cleared), the close button, and whether the
// animation count starts again.
struct Look {
    bool showBars;
    bool showMessage;
    bool red;
    bool closeEnabled;
    bool resetTicks;
};

Look lookOf(Kind kind) {
    switch (kind) {
    case Kind::Working: return {false, true, false, false, true};
    case Kind::Progress: return {true, true, false, false, true};
    case Kind::Failure: return {false, true, true, true, true};
    case Kind::Notice: return {false, true, false, true, true};
    case Kind::Terminating: return {false, true, false, false, false};
    case Kind::Completed: return {false, false, false, false, true};
    case Kind::Passive: break;
    }
    return {};
}
}  // namespace

void UIUpdateManager::applyState(LauncherState state) {
    currentState_ = state;
    const Kind kind = kindOf(state);
    if (kind == Kind::Passive) return;
    const Look look = lookOf(kind);
    auto* view = viewController_.get();
    if (view) view->switchProgressBar(look.showBars);
    if (look.showMessage)
        showText(state, look.red ? redColor : normalColor);
    else if (view)
        view->setMessage(std::string(), std::nullopt);
    // The completed state leaves the close button as it was.
    if (view && kind != Kind::Completed) view->setCloseButtonEnabled(look.closeEnabled);
    if (look.resetTicks) tickCount_ = 0;
}

}  // namespace hexora
