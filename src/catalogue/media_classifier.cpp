#include "catalogue/media_classifier.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QSet>

using namespace Qt::StringLiterals;

namespace vorlane::MediaClassifier {
namespace {

const QSet<QString> &rawSet()
{
    static const QSet<QString> set{u"cr2"_s, u"cr3"_s, u"nef"_s, u"arw"_s, u"raf"_s, u"orf"_s, u"rw2"_s, u"dng"_s,
                                   u"pef"_s, u"srw"_s, u"3fr"_s, u"iiq"_s, u"mrw"_s, u"rwl"_s, u"x3f"_s};
    return set;
}

const QSet<QString> &imageSet()
{
    static const QSet<QString> set{u"jpg"_s,  u"jpeg"_s, u"png"_s, u"heic"_s, u"heif"_s,
                                   u"webp"_s, u"tiff"_s, u"tif"_s, u"gif"_s,  u"bmp"_s};
    return set;
}

const QSet<QString> &videoSet()
{
    static const QSet<QString> set{u"mp4"_s, u"mov"_s, u"m4v"_s,  u"avi"_s, u"m2ts"_s,
                                   u"mts"_s, u"wmv"_s, u"webm"_s, u"3gp"_s};
    return set;
}

bool conformsTo(const QMimeType &type, QStringView prefix)
{
    if (type.name().startsWith(prefix))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), [prefix](const QString &a) { return a.startsWith(prefix); });
}

} // namespace

bool isRawExtension(const QString &lowerExtension) { return rawSet().contains(lowerExtension); }
bool isImageExtension(const QString &lowerExtension) { return imageSet().contains(lowerExtension); }
bool isVideoExtension(const QString &lowerExtension) { return videoSet().contains(lowerExtension); }

QStringList namedExtensions()
{
    QStringList all = rawSet().values() + imageSet().values() + videoSet().values();
    all.sort();
    return all;
}

QString lowerExtension(const std::filesystem::path &path)
{
    const std::string name = path.filename().native();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return {};
    return QString::fromUtf8(name.data() + dot + 1, qsizetype(name.size() - dot - 1)).toLower();
}

std::optional<MediaKind> classify(const std::filesystem::path &path)
{
    const QString ext = lowerExtension(path);
    if (isVideoExtension(ext))
        return MediaKind::Video;
    if (isImageExtension(ext) || isRawExtension(ext))
        return MediaKind::Image;
    if (ext.isEmpty())
        return std::nullopt;

    // Extension only: the content is never sniffed, so a listing costs no reads.
    static const QMimeDatabase db;
    const QList<QMimeType> types = db.mimeTypesForFileName(u"x."_s + ext);
    for (const QMimeType &type : types) {
        if (conformsTo(type, u"image/"))
            return MediaKind::Image;
    }
    for (const QMimeType &type : types) {
        if (conformsTo(type, u"video/"))
            return MediaKind::Video;
    }
    return std::nullopt;
}

bool isRaw(const std::filesystem::path &path) { return isRawExtension(lowerExtension(path)); }

} // namespace vorlane::MediaClassifier
