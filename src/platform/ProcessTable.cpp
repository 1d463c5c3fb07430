#include "platform/ProcessTable.hpp"

#include "platform/ProcProcessTable.hpp"

#include <mutex>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<ProcessTable>& slot() {
    static std::shared_ptr<ProcessTable> table = std::make_shared<ProcProcessTable>();
    return table;
}
}  // namespace

std::shared_ptr<ProcessTable> ProcessTable::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void ProcessTable::install(std::shared_ptr<ProcessTable> table) {
    if (!table) table = std::make_shared<ProcProcessTable>();
    std::lock_guard lock(slotMutex());
    slot().swap(table);
}

}  // namespace hexora::platform
