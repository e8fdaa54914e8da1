#pragma once

#include "ui/shared_thumbnail_store.h"

#include <QImage>

#include <filesystem>
#include <stop_token>

namespace vorlane {

// Makes the thumbnail of one file in two steps. quick() answers in a millisecond or two: the shared desktop
// cache's thumbnail, else the small picture the camera embedded (a stand-in until the sharp one is made).
// sharp() decodes the file (libvips shrink-on-load with orientation applied, a RAW's embedded preview, a
// video's frame about a second in) and writes the result back to the shared cache for the next start and
// for file managers. Null images when nothing can be read. Any thread, several at once.
class ThumbnailService final
{
public:
    struct Quick
    {
        QImage image;
        bool sharp = false; // from the shared cache: final; else the embedded stand-in (or nothing)
    };

    explicit ThumbnailService(SharedThumbnailStore store = SharedThumbnailStore());

    Quick quick(const std::filesystem::path &file, int pixels, std::stop_token token = {}) const;
    QImage sharp(const std::filesystem::path &file, int pixels, std::stop_token token = {}) const;
    // The shared cache's thumbnail, else sharp().
    QImage make(const std::filesystem::path &file, int pixels, std::stop_token token = {}) const;

    // The decode alone, bypassing the shared cache (the fallback path).
    static QImage decode(const std::filesystem::path &file, int pixels, std::stop_token token = {});

private:
    SharedThumbnailStore m_store;
};

} // namespace vorlane
