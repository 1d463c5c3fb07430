#pragma once
// The display timer as a repeating QTimer on the GUI thread.
//
// Thread: GUI thread only. The QTimer is a child of `owner` and goes away
// with it; after that start() reports failure and stop() does nothing.
#include "engine/IDisplayTimer.hpp"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace hexora::app {

class QtDisplayTimer final : public IDisplayTimer {
public:
    explicit QtDisplayTimer(QObject* owner);
    ~QtDisplayTimer() override;

    bool start(double intervalSeconds, std::function<void()> onTick) override;
    void stop() override;

private:
    QPointer<QTimer> timer_;
    QMetaObject::Connection connection_;
};

}  // namespace hexora::app
