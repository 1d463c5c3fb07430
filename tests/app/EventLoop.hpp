#pragma once
// Runs the Qt event loop of the test's thread until `condition` holds, or at
// most `seconds` of real time; returns the condition's last value.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace hexora::test {

inline bool processEventsUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > static_cast<qint64>(seconds * 1000)) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace hexora::test
