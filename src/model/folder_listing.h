#pragma once

#include "catalogue/folder_entry.h"
#include "catalogue/media_pair.h"
#include "core/background_jobs.h"
#include "model/grid_selection.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <filesystem>
#include <optional>

namespace vorlane {

// What a listing found at its cells' copy paths.
struct CopyFindings
{
    QSet<QUuid> withCopy;      // the cell's own copy is there
    QSet<QUuid> copyOfAnother; // the copy of another file is there (it names another source)
    QSet<QUuid> unknown;       // a copy is there, but an original cannot be read right now to tell whose
};

// The folder shown: the opened root, the current folder and the breadcrumb between them, the current
// folder's sub-folders and cells in the chosen order, and the three size figures. Listing (scan, dates,
// pairing, which copies exist, the clean-up of stale temporary copies) runs on a thread of its own, never
// the shared pool, so a decode stuck there never leaves a folder unlisted; a listing that a newer
// navigation overtook is dropped. Main thread: every method and signal.
class FolderListing final : public QObject
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;
    enum class SortMode { Name, Date };

    explicit FolderListing(QObject *parent = nullptr);
    ~FolderListing() override;

    const std::optional<Path> &rootPath() const { return m_rootPath; }
    const std::optional<Path> &currentPath() const { return m_currentPath; }
    const QList<Path> &breadcrumb() const { return m_breadcrumb; }
    const QList<FolderEntry> &folders() const { return m_folders; }
    const QList<MediaPair> &pairs() const { return m_pairs; }
    SortMode sortMode() const { return m_sortMode; }
    const std::optional<QString> &loadError() const { return m_loadError; }
    bool isLoading() const { return m_isLoading; }
    // Counts the listings applied (and failed): cell ids of one generation mean nothing in another.
    int generation() const { return m_generation; }
    int64_t currentDirBytes() const { return m_currentDirBytes; }
    int64_t rootDirBytes() const { return m_rootDirBytes; }
    int64_t freeSpaceBytes() const { return m_freeSpaceBytes; }
    // The same two figures with everything below counted too (every regular file of the sub-folders): what
    // the capacity label shows, so that a card's root, which holds only folders, does not read as empty.
    int64_t currentTreeBytes() const { return m_currentTreeBytes; }
    int64_t rootTreeBytes() const { return m_rootTreeBytes; }

    // The grid's cells in walking order: the folders, then the pairs.
    QList<GridSelection> gridItems() const;
    std::optional<MediaPair> pair(const QUuid &id) const;
    const FolderEntry *folder(const QUuid &id) const;

    // Opens a root folder; select names a sub-folder or a media file to select once listed (one deeper down
    // selects the sub-folder holding it). Without one, a folder that holds the folder shown selects that way.
    void openRoot(const Path &path, const std::optional<Path> &select = std::nullopt);
    void navigate(const Path &path, const std::optional<Path> &select = std::nullopt);
    // To the parent folder, selecting the folder left; nothing at the root.
    void goUp();
    void setSortMode(SortMode mode);

    // What a discard changed: the pairs that stay (a cell that kept some of its files replaced by one of
    // what is left), and the bytes of the files that left the current folder.
    void replacePairs(QList<MediaPair> pairs, int64_t bytesGone);

    static QList<Path> breadcrumbFor(const Path &path, const Path &root);
    static int64_t freeSpace(const Path &path);

Q_SIGNALS:
    void locationChanged(); // root, current folder, breadcrumb
    void contentsChanged(); // folders or pairs (a listing, a new order, a discard)
    void loadingChanged();  // isLoading, loadError
    void sizesChanged();
    void sortModeChanged();
    // A listing was applied: what stands at its cells' copy paths, and the cell asked for. Emitted after
    // contentsChanged and before loading ends.
    void listed(const CopyFindings &copies, const std::optional<GridSelection> &select);

private:
    struct Result;
    void apply(int token, const Path &path, const std::optional<Path> &select, Result result);
    void fail(int token, const QString &reason);
    static Result read(const Path &path); // off the main thread: the listing, the pairs, the copies' standing
    void refreshFreeSpace();
    void setLoading(bool loading, std::optional<QString> error);
    void reindex(); // after every change of m_pairs


    std::optional<Path> m_rootPath;
    std::optional<Path> m_currentPath;
    QList<Path> m_breadcrumb;
    QList<FolderEntry> m_folders;
    QList<MediaPair> m_pairs;
    QHash<QUuid, qsizetype> m_index; // cell id -> its place in m_pairs
    SortMode m_sortMode = SortMode::Name;
    std::optional<QString> m_loadError;
    bool m_isLoading = false;
    int64_t m_currentDirBytes = 0;
    int64_t m_rootDirBytes = 0;
    int64_t m_currentTreeBytes = 0;
    int64_t m_rootTreeBytes = 0;
    int64_t m_freeSpaceBytes = 0;
    int m_navToken = 0;
    int m_generation = 0;
    BackgroundJobs m_jobs; // last: joined before the members its readings are handed to
};

} // namespace vorlane
