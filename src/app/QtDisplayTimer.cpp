#include "app/QtDisplayTimer.hpp"

#include <cmath>

namespace hexora::app {

QtDisplayTimer::QtDisplayTimer(QObject* owner) : timer_(new QTimer(owner)) {
    timer_->setTimerType(Qt::PreciseTimer);
}

QtDisplayTimer::~QtDisplayTimer() { stop(); }

bool QtDisplayTimer::start(double intervalSeconds, std::function<void()> onTick) {
    if (!timer_ || !onTick) return false;
    stop();
    timer_->setInterval(std::max(1, static_cast<int>(std::lround(intervalSeconds * 1000))));
    connection_ = QObject::connect(timer_, &QTimer::timeout, timer_, std::move(onTick));
    timer_->start();
    return timer_->isActive();
}

void QtDisplayTimer::stop() {
    QObject::disconnect(connection_);
    if (timer_) timer_->stop();
}

}  // namespace hexora::app
