#include "model/folder_listing.h"

#include "catalogue/copy_provenance.h"
#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"
#include "copies/atomic_file.h"

#include <QStorageInfo>

#include <sys/statvfs.h>

#include <cstring>

namespace vorlane {

// A folder's listing as the listing thread hands it to the main thread.
struct FolderListing::Result
{
    DirectoryScanner::ScanResult scan;
    QList<MediaPair> pairs;
    CopyFindings copies; // looked up off the main thread
    std::optional<QString> failure; // why the folder could not be read
};

namespace {

std::filesystem::path normalised(const std::filesystem::path &p)
{
    std::filesystem::path n = p.lexically_normal();
    if (!n.has_filename() && n != n.root_path())
        n = n.parent_path();
    return n;
}

} // namespace

FolderListing::FolderListing(QObject *parent)
    : QObject(parent)
    , m_jobs(QStringLiteral("listing"), 2, 0)
{
}

FolderListing::~FolderListing() = default;

QList<GridSelection> FolderListing::gridItems() const
{
    QList<GridSelection> items;
    items.reserve(m_folders.size() + m_pairs.size());
    for (const FolderEntry &f : m_folders)
        items.append(GridSelection::folder(f.id));
    for (const MediaPair &p : m_pairs)
        items.append(GridSelection::media(p.id()));
    return items;
}

std::optional<MediaPair> FolderListing::pair(const QUuid &id) const
{
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() ? std::nullopt : std::optional<MediaPair>(m_pairs[*it]);
}

void FolderListing::reindex()
{
    m_index.clear();
    m_index.reserve(m_pairs.size());
    for (qsizetype i = 0; i < m_pairs.size(); ++i)
        m_index.insert(m_pairs[i].id(), i);
}

const FolderEntry *FolderListing::folder(const QUuid &id) const
{
    for (const FolderEntry &f : m_folders) {
        if (f.id == id)
            return &f;
    }
    return nullptr;
}

void FolderListing::openRoot(const Path &path, const std::optional<Path> &select)
{
    m_rootPath = normalised(path);
    navigate(*m_rootPath, select);
    refreshFreeSpace();
}

void FolderListing::navigate(const Path &target, const std::optional<Path> &wanted)
{
    const Path path = normalised(target);
    // Up the breadcrumb, the folder the user came from is selected.
    std::optional<Path> select = wanted;
    if (!select && m_currentPath && *m_currentPath != path)
        select = m_currentPath;
    m_currentPath = path;
    m_breadcrumb = m_rootPath ? breadcrumbFor(path, *m_rootPath) : QList<Path>{path};
    Q_EMIT locationChanged();
    setLoading(true, std::nullopt);
    const int token = ++m_navToken;

    m_jobs.run(this, [path] { return read(path); },
               [token, path, select](FolderListing &listing, Result result) {
                   if (result.failure)
                       listing.fail(token, *result.failure);
                   else
                       listing.apply(token, path, select, std::move(result));
               });
}

FolderListing::Result FolderListing::read(const Path &path)
{
    Result result;
    try {
        result.scan = DirectoryScanner::scan(path);
    } catch (const std::system_error &e) {
        result.failure = QString::fromLocal8Bit(std::strerror(e.code().value()));
        return result;
    }
    result.pairs = PairingService::pair(result.scan.media);
    // Temporary files of copies that a crash or a pulled card interrupted; running copies keep theirs.
    removeStalePartials(path / (path.filename().native() + "_bside"));
    for (const MediaPair &p : result.pairs) {
        if (!p.copyPath())
            continue;
        // A copy counts as the cell's only when it does not name other files as its source.
        switch (CopyProvenance::judge(*p.copyPath(), p.originalPaths())) {
        case CopyProvenance::Verdict::Absent:
            break;
        case CopyProvenance::Verdict::Own:
        case CopyProvenance::Verdict::Unrecorded:
            result.copies.withCopy.insert(p.id());
            break;
        case CopyProvenance::Verdict::Another:
            result.copies.copyOfAnother.insert(p.id());
            break;
        case CopyProvenance::Verdict::Unknown:
            result.copies.unknown.insert(p.id());
            break;
        }
    }
    return result;
}

void FolderListing::apply(int token, const Path &path, const std::optional<Path> &select, Result result)
{
    if (token != m_navToken)
        return; // a newer navigation overtook this one
    ++m_generation;
    m_folders = std::move(result.scan.folders);
    m_pairs = std::move(result.pairs);
    if (m_sortMode == SortMode::Date)
        PairingService::sortByDate(m_pairs);
    reindex();
    Q_EMIT contentsChanged();
    m_currentDirBytes = result.scan.currentDirBytes;
    m_currentTreeBytes = result.scan.currentDirBytes;
    for (const FolderEntry &f : m_folders)
        m_currentTreeBytes += f.sizeBytes;
    if (m_rootPath && *m_rootPath == path) {
        m_rootDirBytes = m_currentDirBytes;
        m_rootTreeBytes = m_currentTreeBytes;
    }
    Q_EMIT sizesChanged();

    std::optional<GridSelection> selection;
    if (select) {
        const Path wanted = normalised(*select);
        // A file or folder deeper down is found through the sub-folder that holds it.
        const Path relative = wanted.lexically_relative(path);
        const bool below = !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
        const Path child = below ? path / *relative.begin() : Path();
        for (const FolderEntry &f : m_folders) {
            if (!selection && (f.path == wanted || (below && f.path == child)))
                selection = GridSelection::folder(f.id);
        }
        for (const MediaPair &p : m_pairs) {
            const QList<MediaItem> originals = p.allOriginals();
            if (!selection && std::any_of(originals.begin(), originals.end(), [&](const MediaItem &item) {
                    return item.path == wanted;
                }))
                selection = GridSelection::media(p.id());
        }
    }
    Q_EMIT listed(result.copies, selection);
    setLoading(false, std::nullopt);
}

void FolderListing::fail(int token, const QString &reason)
{
    if (token != m_navToken)
        return;
    ++m_generation;
    m_folders.clear();
    m_pairs.clear();
    reindex();
    Q_EMIT contentsChanged();
    setLoading(false, tr("Cannot read the folder: %1").arg(reason));
}

void FolderListing::setLoading(bool loading, std::optional<QString> error)
{
    if (m_isLoading == loading && m_loadError == error)
        return;
    m_isLoading = loading;
    m_loadError = std::move(error);
    Q_EMIT loadingChanged();
}

void FolderListing::goUp()
{
    if (m_breadcrumb.size() < 2)
        return;
    const Path left = *m_currentPath;
    navigate(m_breadcrumb[m_breadcrumb.size() - 2], left);
}

void FolderListing::setSortMode(SortMode mode)
{
    if (mode == m_sortMode)
        return;
    m_sortMode = mode;
    Q_EMIT sortModeChanged();
    if (m_sortMode == SortMode::Name)
        PairingService::sortByName(m_pairs);
    else
        PairingService::sortByDate(m_pairs);
    reindex();
    Q_EMIT contentsChanged();
}

void FolderListing::replacePairs(QList<MediaPair> pairs, int64_t bytesGone)
{
    m_pairs = std::move(pairs);
    reindex();
    Q_EMIT contentsChanged();
    m_currentDirBytes = std::max<int64_t>(0, m_currentDirBytes - bytesGone);
    m_currentTreeBytes = std::max<int64_t>(0, m_currentTreeBytes - bytesGone);
    // The files gone were below the root wherever the folder shown is.
    m_rootTreeBytes = std::max<int64_t>(0, m_rootTreeBytes - bytesGone);
    if (m_rootPath && m_currentPath && *m_rootPath == *m_currentPath)
        m_rootDirBytes = m_currentDirBytes;
    Q_EMIT sizesChanged();
    refreshFreeSpace();
}

void FolderListing::refreshFreeSpace()
{
    if (!m_rootPath)
        return;
    m_jobs.run(this, [root = *m_rootPath] { return freeSpace(root); }, [](FolderListing &listing, int64_t free) {
        if (listing.m_freeSpaceBytes == free)
            return;
        listing.m_freeSpaceBytes = free;
        Q_EMIT listing.sizesChanged();
    });
}

QList<FolderListing::Path> FolderListing::breadcrumbFor(const Path &path, const Path &root)
{
    QList<Path> list;
    Path cursor = normalised(path);
    const Path rootPath = normalised(root);
    while (cursor != cursor.root_path() && !cursor.empty()) {
        list.prepend(cursor);
        if (cursor == rootPath)
            break;
        cursor = cursor.parent_path();
    }
    if (list.isEmpty() || list.first() != rootPath)
        list.prepend(rootPath);
    return list;
}

int64_t FolderListing::freeSpace(const Path &path)
{
    const QStorageInfo info(QString::fromUtf8(path.native()));
    if (info.isValid() && info.bytesAvailable() >= 0)
        return info.bytesAvailable();
    struct statvfs st
    {
    };
    if (statvfs(path.c_str(), &st) != 0)
        return 0;
    return int64_t(st.f_bavail) * int64_t(st.f_frsize);
}

} // namespace vorlane
