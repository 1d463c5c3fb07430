#include "platform/ProcProcessTable.hpp"

#include "platform/InfoPlist.hpp"
#include "platform/X11WindowRaiser.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

namespace hexora::platform {
namespace {

struct StatFields {
    char state = '?';
    std::uint64_t startTime = 0;
};

// /proc/<pid>/stat is "pid (comm) state ppid ..."; comm may hold blanks and
// parentheses, so the fields are counted from the last ')'. The start time is
// the 22nd field, the 19th after the state.
std::optional<StatFields> readStat(const std::filesystem::path& procDir) {
    std::ifstream in(procDir / "stat");
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    StatFields fields;
    std::string token;
    if (!(rest >> token) || token.size() != 1) return std::nullopt;
    fields.state = token[0];
    for (int skipped = 0; skipped < 18 && rest >> token; ++skipped) {
    }
    if (rest >> token) {
        std::from_chars(token.data(), token.data() + token.size(), fields.startTime);
    }
    return fields;
}

bool hasEnded(char state) { return state == 'Z' || state == 'X' || state == 'x'; }

std::optional<std::int32_t> parsePid(const std::string& name) {
    std::int32_t value = 0;
    const auto* end = name.data() + name.size();
    auto [ptr, ec] = std::from_chars(name.data(), end, value);
    if (ec != std::errc() || ptr != end || value <= 0) return std::nullopt;
    return value;
}

std::optional<std::filesystem::path> readExecutable(const std::filesystem::path& procDir) {
    std::error_code error;
    auto target = std::filesystem::read_symlink(procDir / "exe", error);
    if (error || target.empty()) return std::nullopt;
    // An executable replaced on disk while it runs is reported with this
    // suffix; the process still runs what was installed at that path.
    static const std::string deleted = " (deleted)";
    auto text = target.string();
    if (text.size() > deleted.size() && text.ends_with(deleted)) {
        text.resize(text.size() - deleted.size());
        target = text;
    }
    return target;
}

// The device and inode of the file the process runs: the same while the file
// is moved or deleted, another one after the process ran exec.
std::optional<std::pair<std::uint64_t, std::uint64_t>> executableIdentity(const std::filesystem::path& procDir) {
    struct stat info {};
    if (::stat((procDir / "exe").c_str(), &info) != 0) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
}

// The process's first argument; empty when it has none or is still being set
// up (for a moment after exec its arguments read as empty).
std::string firstArgument(const std::filesystem::path& procDir) {
    std::ifstream in(procDir / "cmdline", std::ios::binary);
    std::string first;
    if (!in || !std::getline(in, first, '\0')) return {};
    return first;
}

// The path the process was started from: its first argument, when that is an
// absolute path in the bundle layout naming a file called as the one it runs.
std::optional<std::filesystem::path> startedExecutable(const std::string& first,
                                                       const std::filesystem::path& running) {
    const std::filesystem::path started(first);
    if (!started.is_absolute() || started.filename() != running.filename()) return std::nullopt;
    std::error_code error;
    auto normal = std::filesystem::weakly_canonical(started, error);
    if (error) return std::nullopt;
    if (!ProcProcessTable::bundleOfExecutable(normal)) return std::nullopt;
    return normal;
}

// More kept facts than this and those of ended processes are dropped.
constexpr std::size_t KeptFactsLimit = 512;

}  // namespace

ProcProcessTable::ProcProcessTable(std::filesystem::path procRoot) : procRoot_(std::move(procRoot)) {}

std::optional<std::filesystem::path> ProcProcessTable::bundleOfExecutable(const std::filesystem::path& executable) {
    const auto macOS = executable.parent_path();
    const auto contents = macOS.parent_path();
    const auto bundle = contents.parent_path();
    if (macOS.filename() != "MacOS" || contents.filename() != "Contents") return std::nullopt;
    if (bundle.extension() != ".app" || bundle.filename() == ".app") return std::nullopt;
    return bundle;
}

bool ProcProcessTable::readFacts(const std::filesystem::path& procDir, ProcessEntry& entry,
                                 IdentifierCache& identifiers) const {
    const auto first = firstArgument(procDir);
    entry.executablePath = readExecutable(procDir);
    if (!entry.executablePath) return !first.empty();
    entry.bundlePath = bundleOfExecutable(*entry.executablePath);
    if (!entry.bundlePath) {
        // The executable left its bundle (moved aside or deleted with it):
        // the process still is the application it was started as.
        if (auto started = startedExecutable(first, *entry.executablePath)) {
            entry.executablePath = std::move(started);
            entry.bundlePath = bundleOfExecutable(*entry.executablePath);
        }
    }
    if (entry.bundlePath) entry.bundleIdentifier = identifierOf(*entry.bundlePath, identifiers);
    return !first.empty();
}

std::optional<std::string> ProcProcessTable::identifierOf(const std::filesystem::path& bundle,
                                                          IdentifierCache& identifiers) {
    auto found = identifiers.find(bundle);
    if (found == identifiers.end()) {
        const auto plist = InfoPlist::pathIn(bundle);
        found = identifiers.emplace(bundle, InfoPlist::readString(plist, "CFBundleIdentifier")).first;
    }
    return found->second;
}

std::optional<ProcessEntry> ProcProcessTable::readEntry(std::int32_t processIdentifier,
                                                       IdentifierCache& identifiers) {
    const auto procDir = procRoot_ / std::to_string(processIdentifier);
    const auto stat = readStat(procDir);
    if (!stat || hasEnded(stat->state)) return std::nullopt;
    ProcessEntry entry;
    entry.processIdentifier = processIdentifier;
    entry.startTime = stat->startTime;
    const auto identity = executableIdentity(procDir);
    {
        std::lock_guard lock(keptMutex_);
        const auto kept = kept_.find(processIdentifier);
        if (kept != kept_.end() && identity && kept->second.startTime == stat->startTime &&
            kept->second.executableDevice == identity->first && kept->second.executableInode == identity->second) {
            entry.executablePath = kept->second.executablePath;
            entry.bundlePath = kept->second.bundlePath;
            entry.bundleIdentifier = kept->second.bundleIdentifier;
            return entry;
        }
    }
    const bool settled = readFacts(procDir, entry, identifiers);
    // Facts are kept only once the process has its arguments, and only with
    // a start time and a readable executable, which tell a later process
    // under this id apart.
    if (!settled || !identity || stat->startTime == 0) return entry;
    std::lock_guard lock(keptMutex_);
    kept_[processIdentifier] = KeptFacts{stat->startTime,  identity->first,    identity->second,
                                         entry.executablePath, entry.bundlePath, entry.bundleIdentifier};
    if (kept_.size() > KeptFactsLimit) {
        std::erase_if(kept_, [this](const auto& item) {
            const auto itemStat = readStat(procRoot_ / std::to_string(item.first));
            return !itemStat || hasEnded(itemStat->state) || itemStat->startTime != item.second.startTime;
        });
    }
    return entry;
}

void ProcProcessTable::forgetAllBut(const std::vector<ProcessEntry>& running) {
    std::lock_guard lock(keptMutex_);
    std::erase_if(kept_, [&running](const auto& item) {
        const auto at = std::lower_bound(running.begin(), running.end(), item.first,
                                         [](const ProcessEntry& entry, std::int32_t pid) {
                                             return entry.processIdentifier < pid;
                                         });
        return at == running.end() || at->processIdentifier != item.first || at->startTime != item.second.startTime;
    });
}

std::vector<ProcessEntry> ProcProcessTable::runningProcesses() {
    std::vector<ProcessEntry> entries;
    IdentifierCache identifiers;  // one read per bundle and listing
    std::error_code error;
    for (std::filesystem::directory_iterator it(procRoot_, error), end; !error && it != end; it.increment(error)) {
        const auto pid = parsePid(it->path().filename().string());
        if (!pid) continue;
        if (auto entry = readEntry(*pid, identifiers)) entries.push_back(std::move(*entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.processIdentifier < b.processIdentifier; });
    if (!error) forgetAllBut(entries);
    return entries;
}

std::optional<ProcessEntry> ProcProcessTable::runningProcess(std::int32_t processIdentifier) {
    if (processIdentifier <= 0) return std::nullopt;
    IdentifierCache identifiers;
    return readEntry(processIdentifier, identifiers);
}

bool ProcProcessTable::isTerminated(const ProcessEntry& entry) {
    if (entry.processIdentifier <= 0) return true;
    const auto stat = readStat(procRoot_ / std::to_string(entry.processIdentifier));
    if (!stat || hasEnded(stat->state)) return true;
    return entry.startTime != 0 && stat->startTime != 0 && entry.startTime != stat->startTime;
}

bool ProcProcessTable::activate(const ProcessEntry& entry) {
    if (isTerminated(entry)) return false;
    return X11WindowRaiser::raiseWindowsOf(entry.processIdentifier);
}

std::int32_t ProcProcessTable::ownProcessIdentifier() { return static_cast<std::int32_t>(::getpid()); }

}  // namespace hexora::platform
