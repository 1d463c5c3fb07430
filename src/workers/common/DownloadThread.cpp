#include "workers/common/DownloadThread.hpp"

#include "services/api/ApiDomains.hpp"
#include "services/api/DomainRotation.hpp"
#include "services/file/LoadedSetting.hpp"
#include "workers/common/CDownload.hpp"

namespace hexora::Worker::Common {

DownloadThread::DownloadThread(CDownload& owner) : UnitThread(owner.jobs), downloader(owner) {}

void DownloadThread::runUnit(const std::shared_ptr<DownloadUnit>& unit) {
    using State = DownloadUnit::DownloadState;
    unit->start();
    MultiFile::waitWhile([&] { return unit->state() == State::Downloading; });

    const State state = unit->state();
    if (state == State::Success) {
        if (const auto list = ApiDomains::fileList()) domainAnswered(*list, unit->currentIndex(), storeCdnDsaIndex);
        return;
    }
    if (state == State::Failed && unit->retryCount() >= 1 && unit->retry()) jobs().append(unit);
}

}  // namespace hexora::Worker::Common
