#pragma once
// SIGTERM and SIGINT held back from the moment of construction, so that a
// stand-in program can wait for them and report what ended it instead of
// being ended by them.
//
// Thread: construct on the main thread before any other thread starts (the
// signals are blocked for the calling thread, and threads started later
// inherit that); wait() on the same thread.
// Failure: none; a wait interrupted by another signal goes on waiting.
#include <signal.h>

#include <optional>
#include <string>

namespace hexora::tools {

class QuitSignals {
public:
    QuitSignals();

    /// Waits for SIGTERM or SIGINT, for at most `limitSeconds` or without
    /// limit; returns "signal <number>" or "time".
    std::string wait(std::optional<double> limitSeconds) const;

private:
    sigset_t signals_;
};

}  // namespace hexora::tools
