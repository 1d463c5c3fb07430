#include "app/QuitSignals.hpp"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace hexora::app {
namespace {
volatile sig_atomic_t writeEnd = -1;

extern "C" void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (writeEnd >= 0) [[maybe_unused]] auto written = ::write(writeEnd, &byte, 1);
    errno = saved;
}
}  // namespace

QuitSignals::QuitSignals(std::function<void()> onQuitRequest) : onQuitRequest_(std::move(onQuitRequest)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
    readEnd_ = ends[0];
    writeEnd = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { drain(); });

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInt_);
    ::sigaction(SIGTERM, &action, &previousTerm_);
}

QuitSignals::~QuitSignals() {
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    notifier_.reset();
    const int write = writeEnd;
    writeEnd = -1;
    ::close(write);
    ::close(readEnd_);
}

void QuitSignals::drain() {
    char bytes[64];
    bool requested = false;
    while (::read(readEnd_, bytes, sizeof bytes) > 0) requested = true;
    // Several signals before the loop got here ask once.
    if (requested && onQuitRequest_) onQuitRequest_();
}

}  // namespace hexora::app
