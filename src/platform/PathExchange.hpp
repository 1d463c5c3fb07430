#pragma once
// Swapping two items of the file system in one step: after a successful
// exchange each path names what the other named before, and no observer,
// not even one that outlives a killed process, ever sees either path empty.
// The update steps use it to put a new folder in the place of an installed
// one without a moment in which neither is there.
//
// Thread: any thread may call exchange(); nothing is shared between calls.
// install() is meant for process start and for tests; callers see the old or
// the new layer.
#include <filesystem>
#include <memory>

namespace hexora::platform {

class PathExchange {
public:
    enum class Result {
        Exchanged,     ///< the two items have traded places
        NotSupported,  ///< this system or file system cannot swap them (or they lie on two file systems); nothing changed
    };

    virtual ~PathExchange() = default;

    /// Swaps the items (files, links or folders) at `first` and `second`;
    /// both must exist. Throws std::filesystem::filesystem_error for any
    /// failure other than NotSupported; nothing has changed then either.
    virtual Result exchange(const std::filesystem::path& first, const std::filesystem::path& second) = 0;

    /// The installed layer; the system's own exchange unless install() replaced it.
    static std::shared_ptr<PathExchange> current();
    /// Replaces the layer; nullptr restores the system's own.
    static void install(std::shared_ptr<PathExchange> exchange);
};

}  // namespace hexora::platform
