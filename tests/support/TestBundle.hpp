#pragma once
// A launcher bundle in a temporary folder, made the process's bundle for the
// object's life (services/internal/Paths.hpp), with its own application-support
// folder:
//   <root>/Applications/HexoraLauncher.app/Contents/MacOS
//   <root>/data                 (the user's application-support folder)
// The cached paths are reset when the object goes away.
#include "support/TempDir.hpp"

#include <filesystem>

namespace hexora::test {

class TestBundle {
public:
    TestBundle();
    ~TestBundle();
    TestBundle(const TestBundle&) = delete;
    TestBundle& operator=(const TestBundle&) = delete;

    const std::filesystem::path& root() const { return dir_.path(); }
    /// The launcher bundle ("HexoraLauncher.app").
    std::filesystem::path bundle() const;
    /// The folder standing for the user's application-support folder.
    std::filesystem::path dataFolder() const;

private:
    TempDir dir_;
};

}  // namespace hexora::test
