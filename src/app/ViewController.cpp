#include "app/ViewController.hpp"

#include "app/LoadReport.hpp"
#include "app/QtDisplayTimer.hpp"
#include "app/ShellTrace.hpp"
#include "engine/Launcher.hpp"
#include "services/internal/Log.hpp"

#include <QWindow>

#include <cmath>

namespace hexora::app {

std::array<QPointer<QProgressBar>*, ViewController::BarCount> ViewController::Outlets::progressBars() {
    return {&progressBar0, &progressBar1, &progressBar2, &progressBar3, &progressBar4,
            &progressBar5, &progressBar6, &progressBar7, &progressBar8, &progressBar9};
}

std::array<const QPointer<QProgressBar>*, ViewController::BarCount> ViewController::Outlets::progressBars() const {
    return {&progressBar0, &progressBar1, &progressBar2, &progressBar3, &progressBar4,
            &progressBar5, &progressBar6, &progressBar7, &progressBar8, &progressBar9};
}

ViewController::ViewController(Outlets outlets) : outlets_(std::move(outlets)) {}

ViewController::~ViewController() {
    if (uiUpdateManager_) uiUpdateManager_->stop();
}

void ViewController::viewDidLoad() {
    if (outlets_.devLabel) {
        outlets_.devLabel->setVisible(false);
        outlets_.devLabel->setText(QString());
    }
    if (outlets_.textMessage) outlets_.textMessage->setText(QString());
    reportLoad();

    auto* first = outlets_.progressBar1.data();
    if (first) progressOrigin_ = first->pos();
    progressBar_ = first;
    const auto bars = progressBars();
    for (int index = 1; index < BarCount; ++index) hide(bars[index]);

    // The manager draws into this controller without owning it.
    std::shared_ptr<ILauncherView> unowned(std::shared_ptr<void>(), this);
    uiUpdateManager_ = std::make_shared<UIUpdateManager>(unowned, std::make_shared<QtDisplayTimer>(outlets_.view));
}

void ViewController::reportLoad() {
    const auto report = LoadReport::collect();
    report.record().append();
    Log::info(report.logLine());
}

void ViewController::viewDidAppear() {
    Log::info("Launcher View did appear.");
    if (uiUpdateManager_) {
        uiUpdateManager_->queue().append(UIUpdateEvent::stateChange(LauncherState::Initializing));
        uiUpdateManager_->start();
    }
    if (uiUpdateManager_) Launcher::shared().setup(uiUpdateManager_);
}

void ViewController::viewWillDisappear() {
    if (uiUpdateManager_) uiUpdateManager_->stop();
}

std::array<QProgressBar*, ViewController::BarCount> ViewController::progressBars() const {
    std::array<QProgressBar*, BarCount> bars{};
    const auto outlets = outlets_.progressBars();
    for (int index = 0; index < BarCount; ++index) bars[index] = outlets[index]->data();
    return bars;
}

bool ViewController::isShown(const QProgressBar* bar) { return bar && bar->y() < HiddenOffset; }

void ViewController::hide(QProgressBar* bar) {
    if (bar) bar->move(bar->x(), bar->y() + HiddenOffset);
}

void ViewController::switchProgressBar(bool show) {
    if (progressBar_) {
        progressBar_->setValue(0);
        // An active bar already out of view stays where it is.
        if (isShown(progressBar_)) hide(progressBar_);
    }
    progressBarIndex_ = (progressBarIndex_ + 1) % BarCount;
    if (show) {
        progressBar_ = progressBars()[progressBarIndex_];
        if (progressBar_ && progressOrigin_) progressBar_->move(*progressOrigin_);
        return;
    }
    for (auto* bar : progressBars())
        if (isShown(bar)) hide(bar);
}

void ViewController::setMessage(const std::optional<std::string>& text, const std::optional<Color>& color) {
    const std::string shown = text.value_or(std::string());
    ShellTrace::shownMessage(shown);
    auto* label = outlets_.textMessage.data();
    if (!label) return;
    // The state texts break lines with "\r\n"; the label wants "\n" alone.
    label->setText(QString::fromStdString(shown).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (!color) return;
    auto palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgbF(static_cast<float>(color->red),
                                                            static_cast<float>(color->green),
                                                            static_cast<float>(color->blue),
                                                            static_cast<float>(color->alpha)));
    label->setPalette(palette);
}

void ViewController::setProgressValue(double value) {
    if (progressBar_) progressBar_->setValue(static_cast<int>(std::lround(value)));
}

void ViewController::setWindowVisible(bool visible) {
    if (outlets_.view) outlets_.view->window()->setVisible(visible);
}

void ViewController::setCloseButtonEnabled(bool enabled) {
    if (!outlets_.view) return;
    QWidget* window = outlets_.view->window();
    auto flags = window->windowFlags();
    if (!flags.testFlag(Qt::CustomizeWindowHint)) return;  // no close button of ours to change
    flags.setFlag(Qt::WindowCloseButtonHint, enabled);
    if (flags == window->windowFlags()) return;
    // Told to the window system in place: setWindowFlags() would recreate
    // (and hide) a shown window.
    window->overrideWindowFlags(flags);
    if (auto* handle = window->windowHandle()) handle->setFlags(flags);
}

bool ViewController::isCloseButtonEnabled() const {
    if (!outlets_.view) return false;
    return outlets_.view->window()->windowFlags().testFlag(Qt::WindowCloseButtonHint);
}

}  // namespace hexora::app
