#pragma once
// One benchmark side run in a child process: its wall time, its peak resident
// memory and whether it succeeded.
//
// Thread: runProcess() blocks the calling thread until the child has exited.
// Failure: a child that cannot be started or does not exit with 0 gives ok == false.
#include <string>
#include <vector>

namespace hexora::bench {

struct RunResult {
    double seconds = 0;
    long peakKib = 0;
    bool ok = false;
};

/// Runs `argv` (argv[0] a path, not looked up in PATH) in a child and returns
/// its wall time and the peak resident memory of the largest process it
/// waited for (wait4; the caller should stay small, as the child inherits
/// the caller's figure through fork).
RunResult runProcess(const std::vector<std::string>& argv);

}  // namespace hexora::bench
