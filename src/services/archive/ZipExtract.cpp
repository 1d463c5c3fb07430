#include "services/archive/ZipExtract.hpp"

#include "services/archive/ThreadBudget.hpp"
#include "services/archive/ZipExtraction.hpp"

#include <algorithm>
#include <thread>

namespace hexora::Archive::ZipExtract {
namespace fs = std::filesystem;

namespace {

bool isDriveLetter(std::string_view part) {
    return part.size() >= 2 && part[1] == ':' &&
           ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// Holds one slot of the budget for the calling thread.
class Slot {
public:
    Slot(ThreadBudget& budget, const std::function<bool()>& cancelled) : budget_(budget) {
        if (!budget_.acquire(cancelled)) throw Error("extraction cancelled");
    }
    ~Slot() { budget_.release(); }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

private:
    ThreadBudget& budget_;
};

}  // namespace

std::optional<fs::path> safeRelativePath(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return std::nullopt;
    fs::path relative;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (isDriveLetter(part)) return std::nullopt;
        if (!part.empty() && part != ".") relative /= std::string(part);
        start = end + 1;
    }
    if (relative.empty()) return std::nullopt;
    return relative;
}

void extract(const fs::path& zipPath, const fs::path& targetFolder, const Callbacks& callbacks, ThreadBudget* budget) {
    std::optional<ThreadBudget> own;
    if (!budget) budget = &own.emplace(std::max(1u, std::thread::hardware_concurrency()));
    const Slot slot(*budget, callbacks.isCancelled);
    ZipExtraction extraction(zipPath, targetFolder, callbacks, *budget);
    extraction.run();
}

}  // namespace hexora::Archive::ZipExtract
