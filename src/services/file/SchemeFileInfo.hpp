#pragma once
// One file of a scheme: its name, the folder it belongs in (as the scheme
// writes it, e.g. "Hexora.app/Contents/MacOS") and the SHA-1 of its bytes as
// 40 upper-case hexadecimal digits, compared as exact text.
#include <string>

namespace hexora {

struct SchemeFileInfo {
    std::string file;
    std::string directory;
    std::string hash;

    bool operator==(const SchemeFileInfo&) const = default;
};

}  // namespace hexora
