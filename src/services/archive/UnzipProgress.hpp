#pragma once
// The progress of one running extraction and the handle that cancels it: the
// extraction reports its completed fraction here and polls isCancelled()
// between chunks; an observer sees every change of the fraction.
//
// Thread: any thread may call any operation. The observer runs on the thread
// that sets the fraction (the unit thread inside the extraction), never
// after stopObserving() has returned.
#include <atomic>
#include <functional>
#include <mutex>

namespace hexora::Archive {

class UnzipProgress {
public:
    using Observer = std::function<void(double fractionCompleted)>;

    /// Total unit count 1: the fraction is the completed part of the work.
    UnzipProgress() = default;
    UnzipProgress(const UnzipProgress&) = delete;
    UnzipProgress& operator=(const UnzipProgress&) = delete;

    double fractionCompleted() const { return fraction_.load(); }
    void setFractionCompleted(double fraction);

    bool isCancelled() const { return cancelled_.load(); }
    void cancel() { cancelled_.store(true); }

    void observe(Observer observer);
    void stopObserving();

private:
    std::atomic<double> fraction_{0.0};
    std::atomic<bool> cancelled_{false};
    std::mutex observerMutex_;
    Observer observer_;
};

}  // namespace hexora::Archive
