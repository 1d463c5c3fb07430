#include "support/FakeLauncherView.hpp"

namespace hexora::test {

void FakeLauncherView::switchProgressBar(bool show) {
    switches.push_back(show);
    values[activeBar] = 0;
    shown[activeBar] = false;
    progressBarIndex = (progressBarIndex + 1) % barCount;
    if (show) {
        activeBar = progressBarIndex;
        shown[activeBar] = true;
    } else {
        shown.fill(false);
    }
}

void FakeLauncherView::setMessage(const std::optional<std::string>& text, const std::optional<Color>& newColor) {
    message = text.value_or("");
    messages.push_back(message);
    if (newColor) color = newColor;
}

void FakeLauncherView::setProgressValue(double value) { values[activeBar] = value; }

void FakeLauncherView::setWindowVisible(bool visible) { windowVisible = visible; }

void FakeLauncherView::setCloseButtonEnabled(bool enabled) { closeButtonEnabled = enabled; }

std::vector<int> FakeLauncherView::shownBars() const {
    std::vector<int> bars;
    for (int i = 0; i < barCount; ++i)
        if (shown[i]) bars.push_back(i);
    return bars;
}

bool FakeDisplayTimer::start(double intervalSeconds, std::function<void()> onTick) {
    ++startCount;
    if (failStart) return false;
    interval = intervalSeconds;
    onTick_ = std::move(onTick);
    return true;
}

void FakeDisplayTimer::stop() { onTick_ = nullptr; }

bool FakeDisplayTimer::fire() {
    if (!onTick_) return false;
    auto tick = onTick_;  // the tick may stop the timer
    tick();
    return true;
}

int FakeDisplayTimer::fire(int count) {
    int fired = 0;
    while (fired < count && fire()) ++fired;
    return fired;
}

}  // namespace hexora::test
