// hexora-package: makes an update package for the local file server.
//
//   hexora-package --bundle <path/Hexora.app> --version <V> --hash <HASH> --out <ROOT>
//                  [--name <NAME>] [--smart-base <old Hexora.app>]
//
// Writes ROOT/update/HASH/scheme.json, scheme.json.gz and NAME.zip (NAME
// defaults to V); see package/PackageBuilder.hpp. Prints the zip's path.
// Exit status: 0 done, 1 the package could not be made, 2 bad arguments.
#include "package/PackageBuilder.hpp"

#include <cstdio>
#include <exception>
#include <map>
#include <string>

namespace {

constexpr const char* Usage =
    "usage: hexora-package --bundle <path/Hexora.app> --version <V> --hash <HASH> --out <ROOT>\n"
    "                      [--name <NAME>] [--smart-base <old Hexora.app>]\n";

bool parse(int argc, char** argv, std::map<std::string, std::string>& values) {
    static const char* const known[] = {"--bundle", "--version", "--hash", "--out", "--name", "--smart-base"};
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        bool isKnown = false;
        for (const char* option : known) isKnown = isKnown || key == option;
        if (!isKnown || i + 1 >= argc || values.count(key)) return false;
        values[key] = argv[i + 1];
    }
    return values.count("--bundle") && values.count("--version") && values.count("--hash") && values.count("--out");
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> values;
    if (!parse(argc, argv, values)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    hexora::tools::PackageOptions options;
    options.bundle = values["--bundle"];
    options.version = values["--version"];
    options.hash = values["--hash"];
    options.out = values["--out"];
    if (values.count("--name")) options.name = values["--name"];
    if (values.count("--smart-base")) options.smartBase = values["--smart-base"];
    try {
        const auto package = hexora::tools::buildPackage(options);
        std::printf("%s\n", package.zip.c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "hexora-package: %s\n", error.what());
        return 1;
    }
}
