// Browsing: opening a root, entering directories, the breadcrumb, sorting and the size figures.
#include "model/app_model.h"

#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"
#include "copies/atomic_file.h"
#include "model/main_thread.h"

#include <QStorageInfo>
#include <QThreadPool>

#include <sys/statvfs.h>

#include <cstring>

namespace vorlane {

// A directory's listing as the background task hands it to the main thread.
struct DirectoryListing
{
    DirectoryScanner::ScanResult scan;
    QList<MediaPair> pairs;
    QSet<QUuid> withCopy; // pairs whose copy exists on disk, looked up off the main thread
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

void AppModel::openRoot(const Path &path, const std::optional<Path> &select)
{
    const Path root = normalised(path);
    set(m_rootPath, std::optional<Path>(root), Field::RootPath);
    set(m_currentPath, std::optional<Path>(root), Field::CurrentPath);
    set(m_breadcrumb, QList<Path>{root}, Field::Breadcrumb);
    navigate(root, select);
    refreshFreeSpace();
}

void AppModel::refreshFreeSpace()
{
    if (!m_rootPath)
        return;
    const QPointer<AppModel> self(this);
    m_listingPool.start([self, root = *m_rootPath] {
        const int64_t free = freeSpace(root);
        postToMain(self, [free](AppModel &model) { model.set(model.m_freeSpaceBytes, free, Field::FreeSpaceBytes); });
    });
}

void AppModel::navigate(const Path &target, const std::optional<Path> &selectPath)
{
    const Path path = normalised(target);
    set(m_currentPath, std::optional<Path>(path), Field::CurrentPath);
    if (m_rootPath)
        set(m_breadcrumb, breadcrumbFor(path, *m_rootPath), Field::Breadcrumb);
    set(m_loadError, std::optional<QString>(), Field::LoadError);
    set(m_isLoading, true, Field::IsLoading);
    const int token = ++m_navToken;

    const QPointer<AppModel> self(this);
    m_listingPool.start([self, path, token, selectPath] {
        DirectoryListing listing;
        try {
            listing.scan = DirectoryScanner::scan(path);
        } catch (const std::system_error &e) {
            const QString reason = QString::fromLocal8Bit(std::strerror(e.code().value()));
            postToMain(self, [token, reason](AppModel &model) { model.applyListingFailure(token, reason); });
            return;
        }
        listing.pairs = PairingService::pair(listing.scan.media);
        // Temporary files of copies that a crash or a pulled card interrupted; running copies keep theirs.
        removeStalePartials(path / (path.filename().native() + "_bside"));
        for (const MediaPair &p : listing.pairs) {
            std::error_code ec;
            if (p.copyPath() && std::filesystem::exists(*p.copyPath(), ec))
                listing.withCopy.insert(p.id());
        }
        postToMain(self, [token, path, selectPath, listing = std::move(listing)](AppModel &model) mutable {
            model.applyListing(token, path, selectPath, std::move(listing));
        });
    });
}

void AppModel::applyListing(int token, const Path &path, const std::optional<Path> &select, DirectoryListing listing)
{
    if (token != m_navToken)
        return;
    set(m_folders, listing.scan.folders, Field::Folders);
    QList<MediaPair> pairs = std::move(listing.pairs);
    if (m_sortMode == SortMode::Date)
        PairingService::sortByDate(pairs);
    set(m_pairs, std::move(pairs), Field::Pairs);
    set(m_currentDirBytes, listing.scan.currentDirBytes, Field::CurrentDirBytes);
    if (m_rootPath && *m_rootPath == path)
        set(m_rootDirBytes, listing.scan.currentDirBytes, Field::RootDirBytes);

    std::optional<GridSelection> selection;
    if (select) {
        const Path wanted = normalised(*select);
        for (const FolderEntry &f : m_folders) {
            if (f.path == wanted) {
                selection = GridSelection::folder(f.id);
                break;
            }
        }
        for (const MediaPair &p : m_pairs) {
            const QList<MediaItem> originals = p.allOriginals();
            if (!selection && std::any_of(originals.begin(), originals.end(),
                                          [&](const MediaItem &item) { return item.path == wanted; }))
                selection = GridSelection::media(p.id());
        }
    }
    if (!selection) {
        const QList<GridSelection> items = gridItems();
        if (!items.isEmpty())
            selection = items.first();
    }
    setSelection(selection);
    rebuildMarks(m_pairs, listing.withCopy);
    set(m_isLoading, false, Field::IsLoading);
    Q_EMIT listingApplied();
}

void AppModel::applyListingFailure(int token, const QString &reason)
{
    if (token != m_navToken)
        return;
    set(m_folders, QList<FolderEntry>(), Field::Folders);
    set(m_pairs, QList<MediaPair>(), Field::Pairs);
    rebuildMarks({}, {});
    set(m_loadError, std::optional<QString>(QStringLiteral("无法读取目录：") + reason), Field::LoadError);
    set(m_isLoading, false, Field::IsLoading);
    Q_EMIT listingApplied();
}

QList<AppModel::Path> AppModel::breadcrumbFor(const Path &path, const Path &root)
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

void AppModel::goUp()
{
    if (m_breadcrumb.size() < 2)
        return;
    set(m_previewIndex, std::optional<int>(), Field::PreviewIndex);
    navigate(m_breadcrumb[m_breadcrumb.size() - 2], m_currentPath);
}

void AppModel::openFolder(const FolderEntry &entry) { navigate(entry.path); }

void AppModel::setSortMode(SortMode mode)
{
    set(m_sortMode, mode, Field::SortMode);
    resortPairs();
}

void AppModel::resortPairs()
{
    QList<MediaPair> pairs = m_pairs;
    if (m_sortMode == SortMode::Name)
        PairingService::sortByName(pairs);
    else
        PairingService::sortByDate(pairs);
    set(m_pairs, std::move(pairs), Field::Pairs);
}

int64_t AppModel::freeSpace(const Path &path)
{
    const QStorageInfo info(QString::fromUtf8(path.native()));
    if (info.isValid() && info.bytesAvailable() >= 0)
        return info.bytesAvailable();
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0)
        return 0;
    return int64_t(st.f_bavail) * int64_t(st.f_frsize);
}

} // namespace vorlane
