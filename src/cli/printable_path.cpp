#include "cli/printable_path.h"

namespace vorlane::cli {

std::string printablePath(const std::filesystem::path &path)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(path.native().size());
    for (const char c : path.native()) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\x";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace vorlane::cli
