#include "platform/ProcessLauncher.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/PosixProcessLauncher.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<ProcessLauncher, PosixProcessLauncher>;
}  // namespace

std::shared_ptr<ProcessLauncher> ProcessLauncher::current() { return Slot::current(); }

void ProcessLauncher::install(std::shared_ptr<ProcessLauncher> launcher) { Slot::install(std::move(launcher)); }

}  // namespace hexora::platform
