#include "catalogue/directory_scanner.h"

#include "catalogue/media_classifier.h"
#include "catalogue/natural_order.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <set>

namespace vorlane::DirectoryScanner {
namespace {

struct DirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

constexpr std::string_view kBsideSuffix = "_bside";
constexpr qsizetype kParallelThreshold = 64;

// Capture dates are read on a pool of the scanner's own: a thumbnail or preview decode that takes long on
// the shared pool must never hold up a listing.
QThreadPool *datingPool()
{
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool; // lives as long as the process, like the shared pool
        p->setObjectName(QStringLiteral("capture dates"));
        return p;
    }();
    return pool;
}

bool isHiddenName(const char *name) { return name[0] == '.'; }

bool endsWith(const std::string &s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Names listed in a folder's ".hidden" file, one per line, as file managers hide them. Only a regular file
// is read, opened without blocking (a FIFO named ".hidden" would otherwise stall the listing) and without
// following a link (one to /dev/zero would never end), and only its first MiB.
std::set<std::string> hiddenListOf(int dirFd)
{
    constexpr size_t kMaxBytes = 1 << 20;
    std::set<std::string> names;
    const int fd = openat(dirFd, ".hidden", O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return names;
    struct stat st
    {
    };
    std::string text;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.resize(size_t(std::min<off_t>(st.st_size, off_t(kMaxBytes))));
        size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = pread(fd, text.data() + got, text.size() - got, off_t(got));
            if (n <= 0)
                break;
            got += size_t(n);
        }
        text.resize(got);
    }
    close(fd);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            names.insert(std::move(line));
        start = end + 1;
    }
    return names;
}

int64_t sizeBelow(int dirFd)
{
    DirHandle dir(fdopendir(dirFd));
    if (!dir) {
        close(dirFd);
        return 0;
    }
    int64_t total = 0;
    while (const dirent *entry = readdir(dir.get())) {
        if (isHiddenName(entry->d_name))
            continue;
        unsigned char type = entry->d_type;
        struct stat st
        {
        };
        if (type == DT_UNKNOWN || type == DT_REG) {
            if (fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISREG(st.st_mode)) {
                total += int64_t(st.st_size);
                continue;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            const int child
                = openat(::dirfd(dir.get()), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                total += sizeBelow(child);
        }
    }
    return total;
}

struct Child
{
    std::filesystem::path path;
    MediaKind kind;
    int64_t bytes = 0;
    int64_t modifiedNs = 0;
};

} // namespace

int64_t recursiveSize(const std::filesystem::path &folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    return sizeBelow(fd);
}

namespace {

// What one read of a folder finds: its visible sub-folders and media files, and the bytes of those files.
struct Entries
{
    std::vector<std::filesystem::path> folders;
    std::vector<Child> media;
    int64_t bytes = 0;
};

Entries readEntries(const std::filesystem::path &directory)
{
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), directory.native());
    DirHandle dir(fdopendir(fd));
    if (!dir) {
        const int err = errno;
        close(fd);
        throw std::system_error(err, std::generic_category(), directory.native());
    }

    const std::set<std::string> hidden = hiddenListOf(::dirfd(dir.get()));
    Entries entries;
    // readdir() reports an error only through errno, with the same null it gives at the end: a folder whose
    // listing broke off (a card pulled out, an I/O error) is an error, never a shorter folder.
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw std::system_error(errno, std::generic_category(), directory.native());
            break;
        }
        const char *name = entry->d_name;
        if (isHiddenName(name) || hidden.count(name))
            continue;
        struct stat st
        {
        };
        const bool known = fstatat(::dirfd(dir.get()), name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        std::filesystem::path child = directory / name;
        if (known && S_ISDIR(st.st_mode)) {
            if (!endsWith(name, kBsideSuffix))
                entries.folders.push_back(std::move(child));
            continue;
        }
        if (known && !S_ISREG(st.st_mode))
            continue;
        const auto kind = MediaClassifier::classify(child);
        if (!kind)
            continue;
        Child media{std::move(child), *kind};
        if (known) {
            entries.bytes += int64_t(st.st_size);
            media.bytes = int64_t(st.st_size);
            media.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        }
        entries.media.push_back(std::move(media));
    }
    return entries;
}

// Sorts a list by the natural order of its names, stably.
template<typename List, typename NameOf>
void naturalSort(List &list, NameOf nameOf)
{
    std::vector<NaturalKey> keys;
    keys.reserve(list.size());
    for (const auto &e : list)
        keys.emplace_back(nameOf(e).filename().native());
    std::vector<size_t> order(list.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    List sorted;
    sorted.reserve(list.size());
    for (size_t i : order)
        sorted.push_back(std::move(list[i]));
    list = std::move(sorted);
}

} // namespace

ScanResult scan(const std::filesystem::path &directory)
{
    Entries entries = readEntries(directory);
    naturalSort(entries.folders, [](const std::filesystem::path &p) -> const std::filesystem::path & { return p; });
    naturalSort(entries.media, [](const Child &c) -> const std::filesystem::path & { return c.path; });
    const std::vector<Child> &mediaPaths = entries.media;

    ScanResult result;
    result.currentDirBytes = entries.bytes;

    const auto makeItem = [](const Child &c) {
        MediaItem item(c.path, c.kind, MediaClassifier::isRaw(c.path));
        item.bytes = c.bytes;
        item.modifiedNs = c.modifiedNs;
        return item;
    };

    // Capture dates dominate the cost of a large folder: read them on the pool while this thread sizes the
    // folders. Each item lands in its own slot, so the order is the sorted order whatever the timing.
    std::vector<std::optional<MediaItem>> items(mediaPaths.size());
    std::vector<size_t> indices(mediaPaths.size());
    std::iota(indices.begin(), indices.end(), size_t(0));
    const auto fill = [&](size_t i) { items[i].emplace(makeItem(mediaPaths[i])); };
    const bool parallel = qsizetype(mediaPaths.size()) >= kParallelThreshold;
    QFuture<void> dating;
    if (parallel)
        dating = QtConcurrent::map(datingPool(), indices, fill);
    for (const auto &p : entries.folders)
        result.folders.append(FolderEntry(p, recursiveSize(p)));
    if (parallel)
        dating.waitForFinished();
    else
        std::for_each(indices.begin(), indices.end(), fill);
    result.media.reserve(qsizetype(items.size()));
    for (auto &item : items)
        result.media.append(std::move(*item));
    return result;
}

} // namespace vorlane::DirectoryScanner
