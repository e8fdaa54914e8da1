#pragma once

#include <QByteArray>
#include <QImage>

#include <filesystem>
#include <optional>

namespace vorlane {

// The desktop's shared thumbnail cache (the freedesktop Thumbnail Managing Standard): PNGs named by the MD5
// of the file's URI under $XDG_CACHE_HOME/thumbnails/{normal,large,x-large,xx-large}, valid while their
// Thumb::URI and Thumb::MTime keys match the file, and its Thumb::Size where one is given. Reading it lets our next
// start and the file managers' thumbnails serve us; writing back lets them reuse ours, and a valid thumbnail
// already there is never overwritten. Stateless apart from the cache root; any thread.
class SharedThumbnailStore final
{
public:
    struct Flavour
    {
        const char *folder;
        int pixels;
    };

    // root: the "thumbnails" folder; by default $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails).
    explicit SharedThumbnailStore(std::filesystem::path root = defaultRoot());

    static std::filesystem::path defaultRoot();
    static QByteArray uriFor(const std::filesystem::path &file); // file:// URI, escaped as GLib does
    static std::optional<Flavour> flavourFor(int pixels);        // the smallest flavour that covers pixels

    std::filesystem::path thumbnailPath(const std::filesystem::path &file, const Flavour &flavour) const;

    // A valid thumbnail of at least `pixels` on its long edge (or of the whole picture when that is smaller),
    // or a null image.
    QImage lookup(const std::filesystem::path &file, int pixels) const;

    // Stores image (scaled down to the flavour that covers `pixels` if larger) with the standard's keys,
    // atomically, mode 0600. Returns false when the file's attributes or the write fail, or when a valid
    // thumbnail of that flavour is there already (it is left as it is).
    bool store(const std::filesystem::path &file, int pixels, const QImage &image) const;

private:
    std::filesystem::path m_root;
};

} // namespace vorlane
