#pragma once
// A process launcher for tests: records every launch, answers with a result
// the test chose, and lets the test end a "child" (calling its exit handler)
// when it likes. ScopedProcessLauncher installs one for a test's life.
//
// Thread: any; guarded by one lock. finish() calls the handler on the calling
// thread, outside the lock.
#include "platform/ProcessLauncher.hpp"
#include "support/ScopedLayer.hpp"

#include <functional>
#include <mutex>

namespace hexora::test {

class FakeProcessLauncher final : public platform::ProcessLauncher {
public:
    struct Launch {
        std::filesystem::path executable;
        std::vector<std::string> arguments;
        std::filesystem::path workingDirectory;
        bool hasExitHandler = false;
    };

    /// What the next launches answer (default: pid 4242, running).
    void answer(Result result);
    /// Called inside launch() after recording it (e.g. to add the child to a
    /// fake process table).
    void onLaunch(std::function<void(const Launch&, const Result&)> hook);
    /// Ends the child launched with `pid`: calls its exit handler, if any.
    void finish(std::int32_t pid, int status, bool signalled = false);
    std::vector<Launch> launches() const;

    Result launch(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                  const std::filesystem::path& workingDirectory, ExitHandler onExit) override;

private:
    mutable std::mutex mutex_;
    Result answer_{4242, true, ""};
    std::function<void(const Launch&, const Result&)> hook_;
    std::vector<Launch> launches_;
    std::vector<std::pair<std::int32_t, ExitHandler>> handlers_;
};

using ScopedProcessLauncher = ScopedLayer<platform::ProcessLauncher, FakeProcessLauncher>;

}  // namespace hexora::test
