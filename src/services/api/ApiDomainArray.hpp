#pragma once
// A list of base URLs of one kind of server ("https://" + host, no trailing
// slash) and the index of the entry to try first. Every write of the index is
// clamped: it always lies in 0.._length-1 when the list is not empty, else 0.
//
// Thread: any thread. The list guards itself, so download units may read it
// while the worker thread moves the index. Shared by reference (see ApiDomains).
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace hexora {

class ApiDomainArray {
public:
    /// `_urls` = urls, `_length` = their number, `_currentIndex` = 0.
    explicit ApiDomainArray(std::vector<std::string> urls);

    ApiDomainArray(const ApiDomainArray&) = delete;
    ApiDomainArray& operator=(const ApiDomainArray&) = delete;

    /// An empty list is ignored. Otherwise the entries are replaced and the
    /// current index goes back to 0 only when it is not below the new length.
    void replaceUrls(std::vector<std::string> urls);
    /// The entry at `index`; the empty text when the list is empty or the
    /// index lies outside it.
    std::string urlAt(std::int64_t index) const;
    /// (index + 1) modulo the length (never negative); 0 for an empty list.
    std::int64_t nextIndex(std::int64_t after) const;
    /// Stores `index` when it lies in 0..length-1, else 0.
    void setCurrentIndex(std::int64_t index);

    std::vector<std::string> urls() const;
    std::int64_t length() const;
    std::int64_t currentIndex() const;
    /// urlAt(currentIndex()).
    std::string currentUrl() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> _urls;
    std::int64_t _length = 0;
    std::int64_t _currentIndex = 0;
};

}  // namespace hexora
