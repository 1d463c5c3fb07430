#include "services/archive/TreeContainment.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace fs = std::filesystem;
using Archive::TreeContainment::resolvesInside;

TEST(TreeContainment, FollowsEveryLinkOnTheWayAndAtTheEnd) {
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.path()) / "root";
    fs::create_directories(root / "a/b");
    fs::create_directories(root.parent_path() / "outside");
    fs::create_symlink("a/b", root / "deep");
    fs::create_symlink("..", root / "a/up");
    fs::create_symlink((root / "a").string(), root / "absoluteInside");
    fs::create_symlink((root.parent_path() / "outside").string(), root / "absoluteOutside");
    fs::create_symlink("loop2", root / "loop1");
    fs::create_symlink("loop1", root / "loop2");
    fs::create_symlink("deep/../..", root / "viaDeep");
    struct Case {
        const char* relative;
        bool inside;
    };
    const Case cases[] = {
        {"a/b/file", true},          {"missing/../a", true},   {"missing/../..", false},
        {"deep/../..", true},        {"deep/../../..", false},  {"a/up/a/up", true},
        {"a/up/..", false},          {"absoluteInside/b", true}, {"absoluteOutside", false},
        {"absoluteOutside/x/../..", false}, {"loop1", false},   {"viaDeep", true},
        {"viaDeep/..", false},
    };
    for (const auto& c : cases) EXPECT_EQ(resolvesInside(root, c.relative), c.inside) << c.relative;
}

}  // namespace hexora
