#include "platform/ProcessTable.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/ProcProcessTable.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<ProcessTable, ProcProcessTable>;
}  // namespace

std::shared_ptr<ProcessTable> ProcessTable::current() { return Slot::current(); }

void ProcessTable::install(std::shared_ptr<ProcessTable> table) { Slot::install(std::move(table)); }

}  // namespace hexora::platform
