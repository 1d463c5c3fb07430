#pragma once
// The maintenance window of the last notice read: Worker::Common::
// maintenanceStart() and maintenanceEnd(), each absent until the maintenance
// check has read a notice whose date parsed. Only the maintenance check
// writes and reads them.
//
// Thread: any thread; the values are guarded.
#include "services/internal/Dates.hpp"

#include <optional>

namespace hexora::Worker::Common {

std::optional<Date> maintenanceStart();
std::optional<Date> maintenanceEnd();
void setMaintenanceStart(std::optional<Date> date);
void setMaintenanceEnd(std::optional<Date> date);

/// Tests: both back to absent.
void resetMaintenanceWindow();

}  // namespace hexora::Worker::Common
