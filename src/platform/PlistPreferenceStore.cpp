#include "platform/PlistPreferenceStore.hpp"

#include "platform/FileDescriptor.hpp"
#include "platform/FileOps.hpp"

#include <plist/plist.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <vector>

namespace hexora::platform {
namespace {
namespace fs = std::filesystem;

// Preferences are the user's own: the suite file is readable by its owner only.
constexpr mode_t SuiteFileMode = 0600;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// The dictionary stored in `file`; nullptr when the file is missing,
// unreadable, larger than MaxSuiteBytes (not read then) or not a
// property-list dictionary.
Plist readDictionary(const fs::path& file) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    if (info.st_size <= 0 || static_cast<std::uintmax_t>(info.st_size) > PlistPreferenceStore::MaxSuiteBytes)
        return nullptr;
    // A file that grew meanwhile is no more ours to read than a large one.
    std::error_code error;
    const auto read = FileOps::readToEnd(fd.get(), PlistPreferenceStore::MaxSuiteBytes, error);
    if (!read || read->empty()) return nullptr;
    const std::string& bytes = *read;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    Plist owned(root);
    if (!owned || plist_get_node_type(owned.get()) != PLIST_DICT) return nullptr;
    return owned;
}

// Under the suite's lock no writer is between its temporary file and the
// rename, so a temporary file of the suite still there is one a killed
// writer left: it goes.
void removeStaleTemporaryFiles(const fs::path& file) {
    for (const fs::path& stale : FileOps::temporarySiblingsOf(file)) ::unlink(stale.c_str());
}

class PlistSuite final : public PreferenceSuite {
public:
    PlistSuite(fs::path folder, const std::string& suiteName)
        : folder_(std::move(folder)),
          file_(folder_ / (suiteName + ".plist")),
          lock_(folder_ / (suiteName + ".plist.lock")) {}

    std::optional<std::string> stringForKey(const std::string& key) override {
        const Plist dictionary = readDictionary(file_);
        if (!dictionary) return std::nullopt;
        plist_t item = plist_dict_get_item(dictionary.get(), key.c_str());
        if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
        char* text = nullptr;
        plist_get_string_val(item, &text);
        if (!text) return std::nullopt;
        std::string value(text);
        std::free(text);
        return value;
    }

    void setString(const std::string& key, const std::string& value) override {
        std::error_code error;
        fs::create_directories(folder_, error);
        if (error) return;
        FileDescriptor lock(::open(lock_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!lock) return;
        int locked;
        do {
            locked = ::flock(lock.get(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) return;

        removeStaleTemporaryFiles(file_);
        Plist dictionary = readDictionary(file_);
        if (!dictionary) dictionary.reset(plist_new_dict());
        plist_dict_set_item(dictionary.get(), key.c_str(), plist_new_string(value.c_str()));
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(dictionary.get(), &xml, &length);
        if (!xml) return;
        FileOps::replaceAtomically(file_, std::string_view(xml, length), SuiteFileMode);
        plist_to_xml_free(xml);
        // Closing the lock file releases the lock.
    }

private:
    fs::path folder_;
    fs::path file_;
    fs::path lock_;
};

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}
}  // namespace

PlistPreferenceStore::PlistPreferenceStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::unique_ptr<PreferenceSuite> PlistPreferenceStore::open(const std::string& suiteName) {
    if (!isPlainFileName(suiteName)) return nullptr;
    fs::path folder = folder_.empty() ? userConfigurationFolder() : folder_;
    if (folder.empty()) return nullptr;
    return std::make_unique<PlistSuite>(std::move(folder), suiteName);
}

std::filesystem::path PlistPreferenceStore::userConfigurationFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && fs::path(config).is_absolute()) {
        return config;
    }
    if (const char* home = std::getenv("HOME"); home && fs::path(home).is_absolute()) {
        return fs::path(home) / ".config";
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        fs::path(found->pw_dir).is_absolute()) {
        return fs::path(found->pw_dir) / ".config";
    }
    return {};
}

}  // namespace hexora::platform
