#include "platform/ProcProcessTable.hpp"

#include "platform/InfoPlist.hpp"
#include "platform/X11WindowRaiser.hpp"

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

std::optional<ProcessEntry> ProcProcessTable::readEntry(std::int32_t processIdentifier,
                                                       IdentifierCache& identifiers) const {
    const auto procDir = procRoot_ / std::to_string(processIdentifier);
    const auto stat = readStat(procDir);
    if (!stat || hasEnded(stat->state)) return std::nullopt;
    ProcessEntry entry;
    entry.processIdentifier = processIdentifier;
    entry.startTime = stat->startTime;
    entry.executablePath = readExecutable(procDir);
    if (entry.executablePath) entry.bundlePath = bundleOfExecutable(*entry.executablePath);
    if (entry.bundlePath) {
        auto found = identifiers.find(*entry.bundlePath);
        if (found == identifiers.end()) {
            const auto plist = *entry.bundlePath / "Contents" / "Info.plist";
            found = identifiers.emplace(*entry.bundlePath, InfoPlist::readString(plist, "CFBundleIdentifier")).first;
        }
        entry.bundleIdentifier = found->second;
    }
    return entry;
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
