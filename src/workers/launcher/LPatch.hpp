#pragma once
// Updates the launcher's own bundle from the package <updateHash>/<updateVersion>.zip:
// download into temp, unzip, validation of the unpacked bundle against the
// scheme it carries, then a full (CPatch) or smart (CSmartPatch) patch of the
// bundle's Contents, the replaced Contents kept meanwhile as
// applicationSupport()/"Hexora.old.app", then LRestart. A package that fails
// its validation ends the road with Failed_Validation ("Launcher integrity
// check failed after download") and the installed bundle untouched. The
// pipeline is UpdatePipeline's; profile() holds the launcher's values.
//
// Thread: work() on the worker thread; it only queues (it throws only for a
// package name that is not one plain path component, see UpdatePipeline).
#include "engine/Worker.hpp"
#include "workers/road/UpdatePipelineProfile.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace hexora::Worker::Launcher {

class LPatch : public Worker {
public:
    LPatch(std::shared_ptr<WorkerThread> workerThread, std::string updateHash, std::string updateVersion, bool isFullPatch,
           CompletionHandler completionHandler = nullptr)
        : Worker(std::move(workerThread), std::move(completionHandler)),
          updateHash(std::move(updateHash)), updateVersion(std::move(updateVersion)), isFullPatch(isFullPatch) {}

    const std::string updateHash;
    const std::string updateVersion;
    const bool isFullPatch;

    void work() override;

    /// The completion callback handed to the package's result check
    /// (CCheckValidationResult), which holds the thread, temp and this
    /// worker's three fields: on a pass queues the patch and LRestart; on a
    /// failure throws Failed_Validation (see UpdatePipeline::onValidationResult).
    static void onValidationResult(const std::shared_ptr<WorkerThread>& workerThread,
                                   const std::filesystem::path& temp, const Common::UpdatePackage& package,
                                   bool passed);

    /// The values of this side's pipeline (lives for the process).
    static const Common::UpdatePipelineProfile& profile();
};

}  // namespace hexora::Worker::Launcher
