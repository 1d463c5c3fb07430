#include "services/api/ApiDomainArray.hpp"

namespace hexora {

ApiDomainArray::ApiDomainArray(std::vector<std::string> urls)
    : _urls(std::move(urls)), _length(static_cast<std::int64_t>(_urls.size())) {}

void ApiDomainArray::replaceUrls(std::vector<std::string> urls) {
    if (urls.empty()) return;
    std::lock_guard lock(mutex_);
    _urls = std::move(urls);
    _length = static_cast<std::int64_t>(_urls.size());
    if (_currentIndex >= _length) _currentIndex = 0;
}

std::string ApiDomainArray::urlAt(std::int64_t index) const {
    std::lock_guard lock(mutex_);
    if (_length <= 0 || index < 0 || index >= _length) return {};
    return _urls[static_cast<std::size_t>(index)];
}

std::int64_t ApiDomainArray::nextIndex(std::int64_t after) const {
    std::lock_guard lock(mutex_);
    if (_length <= 0) return 0;
    const std::int64_t next = (after % _length + 1) % _length;
    return next < 0 ? next + _length : next;
}

void ApiDomainArray::setCurrentIndex(std::int64_t index) {
    std::lock_guard lock(mutex_);
    _currentIndex = (index >= 0 && index < _length) ? index : 0;
}

std::vector<std::string> ApiDomainArray::urls() const {
    std::lock_guard lock(mutex_);
    return _urls;
}

std::int64_t ApiDomainArray::length() const {
    std::lock_guard lock(mutex_);
    return _length;
}

std::int64_t ApiDomainArray::currentIndex() const {
    std::lock_guard lock(mutex_);
    return _currentIndex;
}

std::string ApiDomainArray::currentUrl() const { return urlAt(currentIndex()); }

}  // namespace hexora
