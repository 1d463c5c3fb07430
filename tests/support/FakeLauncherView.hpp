#pragma once
// A launcher view for tests: keeps what the UIUpdateManager drew, with the
// ten-bar model of the main window (the bar index advances on every switch;
// a load leaves index 0 with bar 1 active and bar 0 shown).
// FakeDisplayTimer: a display timer whose ticks the test fires by hand.
// Thread: the test's thread only (it plays the main thread).
#include "engine/IDisplayTimer.hpp"
#include "engine/ILauncherView.hpp"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hexora::test {

class FakeLauncherView final : public ILauncherView {
public:
    static constexpr int barCount = 10;

    void switchProgressBar(bool show) override;
    void setMessage(const std::optional<std::string>& text, const std::optional<Color>& color) override;
    void setProgressValue(double value) override;
    void setWindowVisible(bool visible) override;
    void setCloseButtonEnabled(bool enabled) override;

    /// The bars now shown, in index order (the window shows at most one).
    std::vector<int> shownBars() const;
    double barValue(int index) const { return values[index]; }

    std::string message;
    std::optional<Color> color;
    std::vector<std::string> messages;  // every text set, in order
    int progressBarIndex = 0;
    int activeBar = 1;
    std::array<bool, barCount> shown{true};  // bar 0 is where the layout puts it
    std::array<double, barCount> values{};
    bool windowVisible = true;
    std::optional<bool> closeButtonEnabled;
    std::vector<bool> switches;  // every switchProgressBar(show), in order
};

class FakeDisplayTimer final : public IDisplayTimer {
public:
    bool start(double intervalSeconds, std::function<void()> onTick) override;
    void stop() override;

    /// Calls the tick callback once when the timer runs; false when stopped.
    bool fire();
    /// Fires `count` ticks (fewer when the timer stops on the way); returns how many fired.
    int fire(int count);
    bool running() const { return static_cast<bool>(onTick_); }

    bool failStart = false;  // start() reports failure
    int startCount = 0;
    std::optional<double> interval;

private:
    std::function<void()> onTick_;
};

}  // namespace hexora::test
