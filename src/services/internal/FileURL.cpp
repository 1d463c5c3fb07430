#include "services/internal/FileURL.hpp"

#include <cctype>
#include <cstring>

namespace hexora {

std::string fileURLText(const std::filesystem::path& path, bool isDirectory) {
    static const char* const kept = "-._~/!$&'()*+,;=:@";
    static const char* const hex = "0123456789ABCDEF";
    std::string text = "file://";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) && c < 0x80) {
            text += static_cast<char>(c);
        } else if (c != 0 && std::strchr(kept, c)) {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += hex[c >> 4];
            text += hex[c & 0xF];
        }
    }
    if (isDirectory && !text.ends_with('/')) text += '/';
    return text;
}

}  // namespace hexora
