#pragma once
// A unit thread of CDownload: takes units from the downloader's jobs until
// none is left; for each it runs start() (the whole transfer), then the
// after-unit step:
// - Success: the unit's domain becomes the file domain list's current index
//   (0 when out of range) and the loaded settings' cdn_dsa_index (in memory);
// - Failed with attempts left and not cancelled: retry() on the next domain
//   and back to the end of jobs;
// - anything else: the unit is dropped.
//
// Thread: main() runs on its own std::thread, started and joined by the
// downloader's run (MultiFile::runUnits), so `downloader` outlives it.
#include "workers/common/DownloadUnit.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

class CDownload;

class DownloadThread : public UnitThread<DownloadUnit> {
public:
    explicit DownloadThread(CDownload& downloader);

    CDownload& downloader;

protected:
    void runUnit(const std::shared_ptr<DownloadUnit>& unit) override;
};

}  // namespace hexora::Worker::Common
