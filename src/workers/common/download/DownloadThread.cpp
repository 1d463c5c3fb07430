#include "workers/common/download/DownloadThread.hpp"

#include "services/file/LoadedSetting.hpp"
#include "workers/common/download/CDownload.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {
namespace {

void runUnit(CDownload& downloader, const std::shared_ptr<DownloadUnit>& unit) {
    using State = DownloadUnit::DownloadState;
    unit->start();
    MultiFile::waitWhile([&] { return unit->state() == State::Downloading; });

    const State state = unit->state();
    if (state == State::Success) {
        unit->domainAnswered(storeCdnDsaIndex);
        if (downloader.onDomainAnswered) downloader.onDomainAnswered(unit->currentIndex());
        return;
    }
    if (state == State::Failed && unit->mayRetry() && unit->retry()) downloader.jobs.append(unit);
}

}  // namespace

void DownloadThread::main() {
    MultiFile::drainJobs<DownloadUnit>(downloader.jobs,
                                       [this](const std::shared_ptr<DownloadUnit>& unit) { runUnit(downloader, unit); });
}

}  // namespace hexora::Worker::Common
