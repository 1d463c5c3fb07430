#pragma once
// A process table that tests fill by hand: entries in the order added (the
// "platform's order"), a chosen own id, processes marked ended, and a record
// of activations. ScopedProcessTable installs one for a test's life.
//
// Thread: any; all members are guarded by one lock.
#include "platform/ProcessTable.hpp"
#include "support/ScopedLayer.hpp"

#include <mutex>
#include <set>

namespace hexora::test {

class FakeProcessTable final : public platform::ProcessTable {
public:
    explicit FakeProcessTable(std::int32_t ownId = 1000) : ownId_(ownId) {}

    /// Adds a running process; returns its entry.
    platform::ProcessEntry add(std::int32_t pid, std::optional<std::string> bundleIdentifier = std::nullopt,
                               std::optional<std::filesystem::path> executable = std::nullopt);
    /// Marks the process ended: isTerminated() turns true, it leaves the list.
    void end(std::int32_t pid);
    /// Ids passed to activate(), in order.
    std::vector<std::int32_t> activated() const;
    /// How many times the list was taken or a process looked up.
    int listings() const;

    std::vector<platform::ProcessEntry> runningProcesses() override;
    std::optional<platform::ProcessEntry> runningProcess(std::int32_t processIdentifier) override;
    bool isTerminated(const platform::ProcessEntry& entry) override;
    bool activate(const platform::ProcessEntry& entry) override;
    std::int32_t ownProcessIdentifier() override { return ownId_; }

private:
    mutable std::mutex mutex_;
    std::int32_t ownId_;
    std::vector<platform::ProcessEntry> entries_;
    std::set<std::int32_t> ended_;
    std::vector<std::int32_t> activated_;
    int listings_ = 0;
};

/// ScopedProcessTable table{ownId} installs FakeProcessTable(ownId).
using ScopedProcessTable = ScopedLayer<platform::ProcessTable, FakeProcessTable>;

}  // namespace hexora::test
