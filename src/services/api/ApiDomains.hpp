#pragma once
// The two process-wide domain lists: the update API domains and the file
// server domains. Both are absent until the application driver creates them;
// creating them again replaces them (holders of the old lists keep theirs).
//
// Thread: any thread; the slots are guarded. The driver creates the lists on
// the main thread before the worker thread starts.
#include "services/api/ApiDomainArray.hpp"

#include <memory>
#include <string>
#include <vector>

namespace hexora::ApiDomains {

/// Makes both lists from the configured endpoints (platform/Endpoints.hpp),
/// each with index 0.
void createLists();
/// Makes both lists from the given base URLs, each with index 0.
void createLists(std::vector<std::string> apiUrls, std::vector<std::string> fileUrls);

/// The API domain list, or null before createLists().
std::shared_ptr<ApiDomainArray> apiList();
/// The file domain list, or null before createLists().
std::shared_ptr<ApiDomainArray> fileList();

/// Tests: back to "absent".
void resetForTesting();

/// The file server's folders below a file domain.
namespace CdnPath {
/// Update packages and scheme files: <file domain>/update/<hash>/<file name>.
inline constexpr const char* Update = "update";
}  // namespace CdnPath

}  // namespace hexora::ApiDomains
