#pragma once
// The screens as Qt lists them, for the device facts: each screen's geometry
// in device-independent pixels and its device pixel ratio.
//
// Thread: screens() reads Qt's list on the GUI thread; asked from another
// thread it gives the list of its last GUI-thread reading (empty before one).
#include "platform/DeviceFacts.hpp"

#include <vector>

namespace hexora::app::QtScreens {

std::vector<platform::ScreenFrame> screens();

/// Makes the system's device facts, with screens() as their screen list,
/// the process's device facts. Call on the GUI thread once the application
/// object exists.
void installDeviceFacts();

}  // namespace hexora::app::QtScreens
