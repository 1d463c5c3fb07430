#include "platform/Application.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/HeadlessApplication.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<Application, HeadlessApplication>;
}  // namespace

std::shared_ptr<Application> Application::current() { return Slot::current(); }

void Application::install(std::shared_ptr<Application> application) { Slot::install(std::move(application)); }

}  // namespace hexora::platform
