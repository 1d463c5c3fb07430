#pragma once
// The progress of one extraction by bytes written, shared by its threads:
// each adds what it wrote, and the observer sees the fraction of the total,
// never lower than the value it saw before.
//
// Thread: add() and finish() may be called from any thread; the observer
// runs on the calling thread, one call at a time.
#include <cstdint>
#include <functional>
#include <mutex>

namespace hexora::Archive {

class ExtractionProgress {
public:
    ExtractionProgress(std::uint64_t totalBytes, std::function<void(double)> observer);

    /// `bytes` more were written.
    void add(std::uint64_t bytes);
    /// Reports 1.
    void finish();

private:
    void report(double fraction);

    const std::uint64_t totalBytes_;
    const std::function<void(double)> observer_;
    std::mutex mutex_;
    std::uint64_t written_ = 0;
    double reported_ = 0.0;
};

}  // namespace hexora::Archive
