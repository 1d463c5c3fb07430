#pragma once
// The XML text of a bundle's Info.plist holding the given text entries, for
// the bundles tests lay out (stand-ins, packages, installed bundles).
//
// Thread: any; pure.
#include <string>
#include <utility>
#include <vector>

namespace hexora::test {

using PlistEntries = std::vector<std::pair<std::string, std::string>>;

/// An XML property list whose root dictionary holds `entries` as texts.
std::string infoPlistXml(const PlistEntries& entries);

/// The Info.plist of a bundle with `bundleIdentifier` at `version`.
std::string bundleInfoPlist(const std::string& bundleIdentifier, const std::string& version);

}  // namespace hexora::test
