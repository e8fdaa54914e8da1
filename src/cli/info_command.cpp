#include "cli/info_command.h"

#include "catalogue/focus_points.h"
#include "catalogue/media_classifier.h"
#include "cli/printable_path.h"
#include "media/decode_error.h"
#include "media/picture.h"
#include "media/picture_analysis.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace vorlane::cli {
namespace {

constexpr const char *kUsage = "usage: vorlane-cli info FILE...\n";

QJsonArray countsOf(const std::array<uint64_t, 256> &counts)
{
    QJsonArray out;
    for (const uint64_t n : counts)
        out.append(qint64(n));
    return out;
}

QJsonObject histogramJson(const Histogram &h)
{
    return QJsonObject{{u"r"_s, countsOf(h.counts[Histogram::Red])},
                       {u"g"_s, countsOf(h.counts[Histogram::Green])},
                       {u"b"_s, countsOf(h.counts[Histogram::Blue])},
                       {u"luma"_s, countsOf(h.counts[Histogram::Luma])}};
}

// A clip by its name is asked of the video decoder, anything else of the still decoders; each checks the
// content for itself, so a file named for the other kind is refused, not misread.
QJsonObject describe(const std::filesystem::path &path)
{
    QJsonObject line{{u"file"_s, QString::fromStdString(printablePath(path))}};
    const bool clip = MediaClassifier::classify(path) == MediaKind::Video;
    QImage picture;
    QString error;
    try {
        picture = clip ? Picture::videoFrame(path, 0) : Picture::still(path, 0);
    } catch (const DecodeError &e) {
        error = QString::fromStdString(e.what());
    }
    std::vector<FocusPoint> points;
    if (!clip)
        points = FocusPoints::read(path, picture.isNull() ? 0 : double(picture.width()) / picture.height());
    std::optional<std::pair<int, int>> size;
    if (!picture.isNull())
        size = std::pair{picture.width(), picture.height()};
    else if (!clip)
        size = FocusPoints::recordedSize(path);
    if (!size) {
        line.insert(u"error"_s, error.isEmpty() ? u"not a picture or a clip that can be read"_s : error);
        return line;
    }
    if (picture.isNull()) // the points and size from the metadata; the pixels could not be decoded
        line.insert(u"pictureError"_s, error.isEmpty() ? u"the picture cannot be decoded"_s : error);
    QJsonArray afPoints;
    for (const FocusPoint &p : points)
        afPoints.append(QJsonObject{{u"x"_s, p.x}, {u"y"_s, p.y}, {u"w"_s, p.w}, {u"h"_s, p.h},
                                    {u"inFocus"_s, p.inFocus}, {u"selected"_s, p.selected}});
    line.insert(u"width"_s, size->first);
    line.insert(u"height"_s, size->second);
    line.insert(u"afPoints"_s, afPoints);
    line.insert(u"histogram"_s, histogramJson(PictureAnalysis::histogram(picture)));
    return line;
}

} // namespace

int runInfo(const std::vector<std::string> &args)
{
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    int status = 0;
    for (const std::string &arg : args) {
        const QJsonObject line = describe(arg);
        if (line.contains(u"error"_s))
            status = 1;
        const QByteArray json = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    }
    return status;
}

} // namespace vorlane::cli
