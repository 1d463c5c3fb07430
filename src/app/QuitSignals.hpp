#pragma once
// SIGINT and SIGTERM as quit requests on the GUI thread: the handler only
// writes a byte into a pipe; a socket notifier reads it in the event loop and
// calls `onQuitRequest`, which takes the same road as the window's close
// button.
//
// Thread: create and destroy on the GUI thread; one instance at a time. The
// previous handlers are put back when the object goes away.
#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace hexora::app {

class QuitSignals final {
public:
    /// Throws std::system_error when the pipe cannot be made.
    explicit QuitSignals(std::function<void()> onQuitRequest);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    void drain();

    std::function<void()> onQuitRequest_;
    int readEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

}  // namespace hexora::app
