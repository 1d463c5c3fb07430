#pragma once
// The launcher's one window, laid out in code: the background image, the
// message line, ten progress bars (all at one place; the controller shows at
// most one) and a hidden developer label. It has a fixed size (no maximise
// button; the window manager is told the smallest and largest size are the
// same), carries the product's icon from the bundle's Resources (icon.png)
// and opens centred on the available area of its screen. It owns the
// ViewController, loads it at construction, tells it when the window first
// appears and when it goes away, and asks `shouldClose` before a close (the
// close button's quit is deferred while the worker thread runs).
//
// Thread: GUI thread only.
#include "app/ViewController.hpp"

#include <QWidget>

#include <functional>
#include <memory>

namespace hexora::app {

class MainWindow final : public QWidget {
public:
    static constexpr int Width = 640;
    static constexpr int Height = 400;  // well below ViewController::HiddenOffset

    /// `shouldClose` null: every close is allowed.
    explicit MainWindow(std::function<bool()> shouldClose = nullptr);
    ~MainWindow() override;

    ViewController& viewController() { return *viewController_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ViewController::Outlets layOut();
    void centreOnScreen();

    std::function<bool()> shouldClose_;
    std::unique_ptr<ViewController> viewController_;
    bool appeared_ = false;
};

}  // namespace hexora::app
