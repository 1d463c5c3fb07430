#pragma once
// One unit thread of a CDownload run. main() takes units from the
// downloader's jobs until none is left; for each it runs start() (the whole
// transfer), waits while the unit is Downloading, then does the after-unit
// step: on Success the unit's domain is recorded as the answering one (the
// file domain list's current index and the loaded settings' cdn_dsa_index,
// in memory) and onDomainAnswered is told; Failed with an attempt left and
// not cancelled: retry() on the next domain and back to the end of jobs;
// anything else: the unit is dropped.
//
// Thread: main() runs on its own unit thread (MultiFile::runUnits starts it).
// Ownership: refers to its downloader, which joins the thread before its
// work() returns. Nothing here throws.
namespace hexora::Worker::Common {

class CDownload;

class DownloadThread {
public:
    explicit DownloadThread(CDownload& downloader) : downloader(downloader) {}

    void main();

    CDownload& downloader;
};

}  // namespace hexora::Worker::Common
