#include "support/TestBundle.hpp"

#include "services/internal/Paths.hpp"

namespace hexora::test {

TestBundle::TestBundle() {
    std::filesystem::create_directories(bundle() / "Contents" / "MacOS");
    std::filesystem::create_directories(dataFolder());
    Paths::useBundleForTesting(bundle(), dataFolder());
}

TestBundle::~TestBundle() { Paths::resetForTesting(); }

std::filesystem::path TestBundle::bundle() const { return dir_.path() / "Applications" / "HexoraLauncher.app"; }

std::filesystem::path TestBundle::dataFolder() const { return dir_.path() / "data"; }

}  // namespace hexora::test
