#pragma once
// The controller of the launcher's one window: it reports the device and the
// application when the view loads, owns the display update manager, starts
// it and sets up the Launcher driver when the view appears, and draws what
// the manager asks for: the message line, the active one of the ten progress
// bars, the window's visibility and its close button.
//
// A bar is shown when the y of its origin is below HiddenOffset and hidden by
// moving it HiddenOffset points down, out of the window (which is less high
// than that); bars are never hidden through the widget's visibility.
//
// Thread: GUI thread only.
// Ownership: the outlets are the window's widgets, watched weakly (an outlet
// whose widget is gone is skipped). The controller owns its manager; the
// manager reaches the controller without owning it, and the controller stops
// the manager when it goes away.
#include "engine/ILauncherView.hpp"
#include "engine/UIUpdateManager.hpp"

#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QProgressBar>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace hexora::app {

class ViewController final : public ILauncherView {
public:
    static constexpr int BarCount = 10;
    static constexpr int HiddenOffset = 1000;

    /// The outlets, as the window lays them out; all ten bars are required.
    struct Outlets {
        QPointer<QWidget> view;
        QPointer<QLabel> backgroundImage;
        QPointer<QProgressBar> progressBar0;
        QPointer<QProgressBar> progressBar1;
        QPointer<QProgressBar> progressBar2;
        QPointer<QProgressBar> progressBar3;
        QPointer<QProgressBar> progressBar4;
        QPointer<QProgressBar> progressBar5;
        QPointer<QProgressBar> progressBar6;
        QPointer<QProgressBar> progressBar7;
        QPointer<QProgressBar> progressBar8;
        QPointer<QProgressBar> progressBar9;
        QPointer<QLabel> textMessage;
        QPointer<QLabel> devLabel;

        /// The outlets progressBar0 to progressBar9, in that order.
        std::array<QPointer<QProgressBar>*, BarCount> progressBars();
        std::array<const QPointer<QProgressBar>*, BarCount> progressBars() const;
    };

    explicit ViewController(Outlets outlets);
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    /// Hides the developer label, empties the message, queues the "didLoad"
    /// record and its log line, makes bar 1 the active bar at its place and
    /// moves bars 1 to 9 out of view, then creates the manager.
    void viewDidLoad();
    /// Queues Initializing, starts the manager and sets up the driver.
    void viewDidAppear();
    /// Stops the manager.
    void viewWillDisappear();

    /// progressBar0 to progressBar9, in that order.
    std::array<QProgressBar*, BarCount> progressBars() const;

    void switchProgressBar(bool show) override;
    void setMessage(const std::optional<std::string>& text, const std::optional<Color>& color) override;
    void setProgressValue(double value) override;
    void setWindowVisible(bool visible) override;
    void setCloseButtonEnabled(bool enabled) override;

    const std::shared_ptr<UIUpdateManager>& uiUpdateManager() const { return uiUpdateManager_; }
    const Outlets& outlets() const { return outlets_; }
    /// The bar progress values go to; null before the load.
    QProgressBar* progressBar() const { return progressBar_; }
    int progressBarIndex() const { return progressBarIndex_; }
    /// Where a shown bar is put (progressBar1's place at the load); absent before it.
    std::optional<QPoint> progressOrigin() const { return progressOrigin_; }
    bool isCloseButtonEnabled() const;

private:
    static bool isShown(const QProgressBar* bar);
    static void hide(QProgressBar* bar);
    void reportLoad();

    Outlets outlets_;
    std::shared_ptr<UIUpdateManager> uiUpdateManager_;
    QPointer<QProgressBar> progressBar_;
    int progressBarIndex_ = 0;
    std::optional<QPoint> progressOrigin_;
};

}  // namespace hexora::app
