#include "support/FakeProcessLauncher.hpp"

namespace hexora::test {

void FakeProcessLauncher::answer(Result result) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(result);
}

void FakeProcessLauncher::onLaunch(std::function<void(const Launch&, const Result&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

void FakeProcessLauncher::finish(std::int32_t pid, int status, bool signalled) {
    ExitHandler handler;
    {
        std::lock_guard lock(mutex_);
        for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
            if (it->first == pid) {
                handler = std::move(it->second);
                handlers_.erase(it);
                break;
            }
        }
    }
    if (handler) handler(platform::ProcessExit{pid, status, signalled});
}

std::vector<FakeProcessLauncher::Launch> FakeProcessLauncher::launches() const {
    std::lock_guard lock(mutex_);
    return launches_;
}

platform::ProcessLauncher::Result FakeProcessLauncher::launch(const std::filesystem::path& executable,
                                                              const std::vector<std::string>& arguments,
                                                              const std::filesystem::path& workingDirectory,
                                                              ExitHandler onExit) {
    Launch launch{executable, arguments, workingDirectory, static_cast<bool>(onExit)};
    Result result;
    std::function<void(const Launch&, const Result&)> hook;
    {
        std::lock_guard lock(mutex_);
        launches_.push_back(launch);
        result = answer_;
        hook = hook_;
        if (result.processIdentifier > 0 && onExit) handlers_.emplace_back(result.processIdentifier, std::move(onExit));
    }
    if (hook) hook(launch, result);
    return result;
}

}  // namespace hexora::test
