#include "media/ffi/vips_errors.h"

namespace vorlane {

// libvips' message about this file: the first line that names it, else the first that names no file at all,
// without the loader's "VipsForeignLoad...: " clutter. libvips keeps one error buffer for every thread, so a
// decode failing beside this one may have written in it too: a line naming another file is never this
// file's reason.
std::string vipsReason(const vips::VError &error, const std::string &fileName)
{
    std::string text = error.what();
    vips_error_clear();
    std::string chosen;
    size_t start = 0;
    while (start < text.size() && chosen.empty()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const bool namesThis = !fileName.empty() && line.find(fileName) != std::string::npos;
        const bool namesAFile = line.find('/') != std::string::npos || line.find('"') != std::string::npos;
        if (namesThis || (!namesAFile && !line.empty()))
            chosen = line;
        start = end + 1;
    }
    if (const auto colon = chosen.find(": "); colon != std::string::npos && chosen.rfind("Vips", 0) == 0)
        chosen.erase(0, colon + 2);
    if (chosen.empty())
        chosen = kDamagedOrNotAPicture;
    return chosen;
}

} // namespace vorlane
