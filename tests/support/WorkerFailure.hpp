#pragma once
// Catching the LauncherError a worker ends the road with.
#include "engine/LauncherError.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace hexora::test {

/// Runs `work`; the LauncherError it threw, or nullopt when it returned.
template <class Work>
std::optional<Worker::LauncherError> failureOf(Work&& work) {
    try {
        work();
    } catch (const Worker::LauncherError& error) {
        return error;
    }
    return std::nullopt;
}

/// Runs `work`, expecting it to throw a LauncherError, and returns it (an
/// empty error, with a test failure, when it returned).
template <class Work>
Worker::LauncherError expectLauncherError(Work&& work) {
    if (auto error = failureOf(std::forward<Work>(work))) return *error;
    ADD_FAILURE() << "no LauncherError was thrown";
    return Worker::LauncherError(std::nullopt, "", "");
}

}  // namespace hexora::test
