#pragma once
// The process launcher on posix_spawn: the working folder is set with a chdir
// action, every descriptor from 3 up is closed in the child with a closefrom
// action, signal dispositions and mask are reset. A start fails (error text,
// id 0) when the executable or the working folder cannot be used.
//
// Thread: any; one detached waiter thread per child, whose report goes
// through the ExitGate.
#include "platform/ProcessLauncher.hpp"

namespace hexora::platform {

class PosixProcessLauncher final : public ProcessLauncher {
public:
    Result launch(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                  const std::filesystem::path& workingDirectory, ExitHandler onExit) override;
};

}  // namespace hexora::platform
