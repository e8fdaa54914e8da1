#include "cli/scan_command.h"

#include "catalogue/copy_provenance.h"

#include "catalogue/bside_path_resolver.h"
#include "catalogue/capture_date.h"
#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"
#include "catalogue/sidecar.h"
#include "cli/folder_argument.h"
#include "cli/printable_path.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

using namespace Qt::StringLiterals;

namespace vorlane::cli {
namespace {

constexpr const char *kUsage = "usage: vorlane-cli scan DIR [--sort name|date]\n";

QString isoDate(const QDateTime &date)
{
    if (date == distantPast())
        return u"0001-01-01T00:00:00Z"_s;
    const QDateTime local = date.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString kindName(MediaKind kind) { return kind == MediaKind::Video ? u"video"_s : u"image"_s; }

// The names in the directory's copy folder, read once instead of testing every copy path.
std::set<std::string> copyNames(const std::filesystem::path &dir)
{
    std::set<std::string> names;
    std::error_code ec;
    const std::filesystem::path folder = dir / (dir.filename().native() + "_bside");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().native());
    return names;
}

QJsonObject cellJson(const MediaPair &pair, const std::set<std::string> &copies)
{
    QJsonArray originals;
    for (const MediaItem &item : pair.allOriginals())
        originals.append(displayPath(item.path));
    const std::optional<std::filesystem::path> &copy = pair.copyPath();
    // A copy that names other files as its source (a camera's reused name) is not this cell's copy, and one
    // whose originals cannot be read right now is nobody's yet.
    CopyProvenance::Verdict verdict = CopyProvenance::Verdict::Absent;
    if (copy && copies.count(copy->filename().native()) > 0) {
        verdict = CopyProvenance::judge(*copy, pair.originalPaths());
    }
    const bool copyOfAnother = verdict == CopyProvenance::Verdict::Another;
    const bool hasCopy = verdict == CopyProvenance::Verdict::Own || verdict == CopyProvenance::Verdict::Unrecorded;
    const QString copyState = hasCopy ? u"own"_s
        : copyOfAnother              ? u"another"_s
        : verdict == CopyProvenance::Verdict::Unknown ? u"unknown"_s
                                                      : u"none"_s;
    QJsonObject cell{
        {u"displayName"_s, pair.displayName()},
        {u"kind"_s, kindName(pair.primary().kind)},
        {u"isPair"_s, pair.isPair()},
        {u"primary"_s, displayPath(pair.primary().path)},
        {u"originals"_s, originals},
        {u"rawFile"_s, pair.rawFile() ? QJsonValue(displayPath(pair.rawFile()->path)) : QJsonValue()},
        {u"dateTaken"_s, isoDate(pair.dateTaken())},
        {u"copyPath"_s, copy ? QJsonValue(displayPath(*copy)) : QJsonValue()},
        {u"hasCopy"_s, hasCopy},
        {u"copyOfAnotherFile"_s, copyOfAnother},
        {u"copyState"_s, copyState},
    };
    const Sidecars::Reading decision = Sidecars::readCell(pair);
    cell.insert(u"rating"_s, decision.decision ? decision.decision->rating : 0);
    cell.insert(u"label"_s, decision.decision ? labelName(decision.decision->label).toLower() : QString());
    if (!decision.problem.isEmpty())
        cell.insert(u"sidecarProblem"_s, decision.problem);
    return cell;
}

} // namespace

int runScan(const std::vector<std::string> &args)
{
    int status = 0;
    const std::optional<ListedFolder> listing = listFolder(args, kUsage, &status);
    if (!listing)
        return status;
    const std::filesystem::path &clean = listing->directory;
    const DirectoryScanner::ScanResult &result = listing->scan;
    const QList<MediaPair> &pairs = listing->cells;

    QJsonArray folders;
    for (const FolderEntry &f : result.folders)
        folders.append(
            QJsonObject{{u"name"_s, f.name}, {u"path"_s, displayPath(f.path)}, {u"sizeBytes"_s, qint64(f.sizeBytes)}});
    QJsonArray cells;
    const std::set<std::string> copies = copyNames(clean);
    for (const MediaPair &p : pairs)
        cells.append(cellJson(p, copies));

    const QJsonObject root{{u"directory"_s, displayPath(clean)},
                           {u"currentDirBytes"_s, qint64(result.currentDirBytes)},
                           {u"folders"_s, folders},
                           {u"cells"_s, cells}};
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

} // namespace vorlane::cli
