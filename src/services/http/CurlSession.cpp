#include "services/http/CurlSession.hpp"

#include <array>
#include <mutex>

namespace hexora::Http::CurlSession {
namespace {
// One lock per kind of shared data, as libcurl asks.
// Never destroyed, like the share that uses them.
std::array<std::mutex, CURL_LOCK_DATA_LAST>& locks() {
    static auto* const instance = new std::array<std::mutex, CURL_LOCK_DATA_LAST>();
    return *instance;
}

void lock(CURL*, curl_lock_data data, curl_lock_access, void*) { locks()[data].lock(); }
void unlock(CURL*, curl_lock_data data, void*) { locks()[data].unlock(); }

CURLSH* makeShare() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    locks();
    CURLSH* share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, unlock);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    return share;
}
}  // namespace

CURLSH* share() {
    // Never cleaned up: detached request threads may still use it at exit.
    static CURLSH* const instance = makeShare();
    return instance;
}

namespace {
struct ThreadMulti {
    CURLM* handle = nullptr;
    ~ThreadMulti() {
        if (handle) curl_multi_cleanup(handle);
    }
};
}  // namespace

CURLM* threadMulti() {
    share();
    thread_local ThreadMulti multi;
    if (!multi.handle) multi.handle = curl_multi_init();
    return multi.handle;
}

}  // namespace hexora::Http::CurlSession
