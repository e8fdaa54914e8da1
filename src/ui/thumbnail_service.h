#pragma once

#include "ui/shared_thumbnail_store.h"

#include <QImage>

#include <filesystem>
#include <stop_token>

namespace vorlane {

// Makes the thumbnail of one file: the shared desktop cache first, else a picture decoded off the main
// thread (libvips shrink-on-load with orientation applied, a RAW's embedded preview, a video's frame about a
// second in), written back to the shared cache for the next start and for file managers. Null image when
// nothing can be decoded. Any thread, several at once.
class ThumbnailService final
{
public:
    explicit ThumbnailService(SharedThumbnailStore store = SharedThumbnailStore());

    QImage make(const std::filesystem::path &file, int pixels, std::stop_token token = {}) const;

    // The decode alone, bypassing the shared cache (the fallback path).
    static QImage decode(const std::filesystem::path &file, int pixels, std::stop_token token = {});

private:
    SharedThumbnailStore m_store;
};

} // namespace vorlane
