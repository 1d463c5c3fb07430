#pragma once
// The real process table (/proc) narrowed to the test process and its own
// children: tests that look for running applications by bundle identifier or
// executable see the second processes they started, and not those that tests
// running in parallel started. Everything else (executables, bundles,
// identifiers, termination, activation) is the real table's answer.
// ScopedChildProcessTable installs one for a test's life.
//
// Thread: any.
#include "platform/ProcProcessTable.hpp"
#include "support/ScopedLayer.hpp"

#include <memory>

namespace hexora::test {

class ChildProcessTable final : public platform::ProcessTable {
public:
    std::vector<platform::ProcessEntry> runningProcesses() override;
    std::optional<platform::ProcessEntry> runningProcess(std::int32_t processIdentifier) override;
    bool isTerminated(const platform::ProcessEntry& entry) override { return real_.isTerminated(entry); }
    bool activate(const platform::ProcessEntry& entry) override { return real_.activate(entry); }
    std::int32_t ownProcessIdentifier() override { return real_.ownProcessIdentifier(); }

private:
    bool isOurs(std::int32_t processIdentifier);
    platform::ProcProcessTable real_;
};

using ScopedChildProcessTable = ScopedLayer<platform::ProcessTable, ChildProcessTable>;

}  // namespace hexora::test
