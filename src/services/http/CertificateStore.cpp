#include "services/http/CertificateStore.hpp"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <mutex>
#include <sys/stat.h>

namespace hexora::Http::CertificateStore {
namespace {

// Where libcurl itself would load the system's authorities from.
struct SystemLocations {
    std::optional<std::string> file;
    std::optional<std::string> folder;
};

std::optional<std::string> text(const char* value) {
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

SystemLocations systemLocationsOf(CURL* easy) {
    char* file = nullptr;
    char* folder = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CAINFO, &file);
    curl_easy_getinfo(easy, CURLINFO_CAPATH, &folder);
    return SystemLocations{text(file), text(folder)};
}

// Another path, size, time or inode of the extra file makes another store.
std::string identity(const std::optional<std::string>& extraCaFile) {
    if (!extraCaFile) return {};
    struct stat facts {};
    if (::stat(extraCaFile->c_str(), &facts) != 0) return *extraCaFile + "\n(missing)";
    return *extraCaFile + "\n" + std::to_string(facts.st_size) + " " + std::to_string(facts.st_mtim.tv_sec) + "." +
           std::to_string(facts.st_mtim.tv_nsec) + " " + std::to_string(facts.st_ino);
}

X509_STORE* makeStore(const SystemLocations& system, const std::optional<std::string>& extraCaFile) {
    X509_STORE* store = X509_STORE_new();
    if (!store) return nullptr;
    bool loaded = false;
    if (system.file && X509_STORE_load_file(store, system.file->c_str()) == 1) loaded = true;
    if (system.folder && X509_STORE_load_path(store, system.folder->c_str()) == 1) loaded = true;
    if (!system.file && !system.folder) loaded = X509_STORE_set_default_paths(store) == 1;
    const bool extraLoaded = !extraCaFile || X509_STORE_load_file(store, extraCaFile->c_str()) == 1;
    if (!loaded || !extraLoaded) {
        X509_STORE_free(store);
        return nullptr;
    }
    X509_STORE_set_flags(store, X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN);
    return store;
}

struct Cache {
    std::mutex mutex;
    std::optional<SystemLocations> system;  // read from the first handle
    std::string identity;
    X509_STORE* store = nullptr;  // one reference held here
};

// Never destroyed: connections of detached threads may still use the store at exit.
Cache& cache() {
    static auto* const instance = new Cache();
    return *instance;
}

}  // namespace

void leaveLoadingToTheStore(CURL* easy) {
    {
        std::lock_guard lock(cache().mutex);
        if (!cache().system) cache().system = systemLocationsOf(easy);
    }
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    // libcurl sets up a connection's store only after the SSL_CTX callback
    // (once the first handshake message is out); a store it cached would then
    // replace the shared one. Uncached, it only sets the verification flags
    // the shared store already has.
    curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L);
}

bool use(SSL_CTX* context, const std::optional<std::string>& extraCaFile) {
    const std::string wanted = identity(extraCaFile);
    std::lock_guard lock(cache().mutex);
    Cache& shared = cache();
    if (!shared.system) return false;
    if (!shared.store || shared.identity != wanted) {
        X509_STORE* fresh = makeStore(*shared.system, extraCaFile);
        if (!fresh) return false;
        X509_STORE_free(shared.store);
        shared.store = fresh;
        shared.identity = wanted;
    }
    SSL_CTX_set1_cert_store(context, shared.store);
    return true;
}

}  // namespace hexora::Http::CertificateStore
