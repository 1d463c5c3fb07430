#include "CollectorStore.hpp"

#include <cstdio>
#include <fstream>

namespace hexora::tools {

CollectorStore::CollectorStore(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
}

void CollectorStore::store(const httplib::Request& request, httplib::Response& response) {
    if (request.method != "PUT" || request.path != std::string("/") + StreamName) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    std::lock_guard lock(mutex_);
    char name[32];
    std::snprintf(name, sizeof name, "batch-%06d.json", ++count_);
    const auto target = folder_ / name;
    const auto temporary = folder_ / (std::string(".") + name + ".part");
    {
        std::ofstream out(temporary, std::ios::binary);
        out << request.body;
    }
    std::filesystem::rename(temporary, target);
    response.status = 200;
    response.set_content("{}", "application/json");
}

}  // namespace hexora::tools
