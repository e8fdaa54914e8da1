#include "catalogue/exiv2_runtime.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <mutex>

namespace vorlane::Exiv2Runtime {

void ensureStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // Parsing a packet registers the namespaces it names in the toolkit's one table: serialised.
        static std::recursive_mutex namespaces;
        Exiv2::XmpParser::initialize(
            [](void *lock, bool on) {
                auto *m = static_cast<std::recursive_mutex *>(lock);
                on ? m->lock() : m->unlock();
            },
            &namespaces);
        // darktable's colour labels are written beside the ones every other editor reads.
        Exiv2::XmpProperties::registerNs("http://darktable.sf.net/", "darktable");
        Exiv2Compat::enableBmff();
    });
}

bool isStillImageType(Exiv2Compat::ImageType type)
{
    switch (type) {
    case Exiv2::ImageType::jpeg:
    case Exiv2::ImageType::crw:
    case Exiv2::ImageType::tiff: // also DNG, NEF, PEF, ARW, SR2, SRW
    case Exiv2::ImageType::mrw:
    case Exiv2::ImageType::png:
    case Exiv2::ImageType::cr2:
    case Exiv2::ImageType::raf:
    case Exiv2::ImageType::orf:
    case Exiv2::ImageType::rw2:
    case Exiv2::ImageType::webp:
#ifdef EXV_ENABLE_BMFF
    case Exiv2::ImageType::bmff: // HEIF, AVIF and CR3 brands only; other ISO media files are "qtime"
#endif
        return true;
    default:
        return false;
    }
}

namespace {

// The factory opens by content: its type test reads a few bytes of magic and parses nothing. Whatever it
// chose is checked again, so a file that changed between the two reads is still refused.
Exiv2Compat::ImagePtr openIfStill(Exiv2Compat::IoPtr io)
{
    ensureStarted();
    if (io->open() != 0)
        return Exiv2Compat::ImagePtr();
    const bool still = isStillImageType(Exiv2::ImageFactory::getType(*io));
    io->close();
    if (!still)
        return Exiv2Compat::ImagePtr();
    Exiv2Compat::ImagePtr image = Exiv2::ImageFactory::open(std::move(io));
    if (!image.get() || !isStillImageType(image->imageType()))
        return Exiv2Compat::ImagePtr();
    return image;
}

} // namespace

Exiv2Compat::ImagePtr openStill(const std::filesystem::path &path)
{
    return openIfStill(Exiv2Compat::IoPtr(new Exiv2::FileIo(path.native())));
}

Exiv2Compat::ImagePtr openStill(std::string_view bytes)
{
    const auto *data = reinterpret_cast<const Exiv2::byte *>(bytes.data());
    return openIfStill(Exiv2Compat::IoPtr(new Exiv2::MemIo(data, bytes.size())));
}

} // namespace vorlane::Exiv2Runtime
