#include "model/trash_service.h"

#include <QCoreApplication>

#include <gio/gio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace vorlane::TrashService {
namespace {

template<auto Free>
struct GFree
{
    template<typename T>
    void operator()(T *p) const
    {
        Free(p);
    }
};
using GFilePtr = std::unique_ptr<GFile, GFree<g_object_unref>>;
using GErrorPtr = std::unique_ptr<GError, GFree<g_error_free>>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GFree<g_key_file_free>>;
using GCharPtr = std::unique_ptr<gchar, GFree<g_free>>;

QString tr(const char *text) { return QCoreApplication::translate("vorlane::TrashService", text); }

// One entry of a Trash folder: the trashed file and its record.
struct Entry
{
    std::filesystem::path file;
    std::filesystem::path info;
    QDateTime deleted;
};

// The top of the volume a path lies on: the last ancestor on the same device.
std::filesystem::path volumeTop(const std::filesystem::path &path)
{
    struct stat st = {};
    std::filesystem::path top = path.parent_path();
    if (::stat(top.c_str(), &st) != 0)
        return {};
    const dev_t device = st.st_dev;
    while (top.has_parent_path() && top.parent_path() != top) {
        struct stat up = {};
        if (::stat(top.parent_path().c_str(), &up) != 0 || up.st_dev != device)
            break;
        top = top.parent_path();
    }
    return top;
}

// The Trash folders a file of this path may have gone to, as GIO chooses them.
QList<std::pair<std::filesystem::path, std::filesystem::path>> trashFolders(const std::filesystem::path &original)
{
    QList<std::pair<std::filesystem::path, std::filesystem::path>> folders; // folder, top its paths are relative to
    folders.append({std::filesystem::path(g_get_user_data_dir()) / "Trash", {}});
    const std::filesystem::path top = volumeTop(original);
    if (!top.empty()) {
        const std::string uid = std::to_string(::getuid());
        folders.append({top / ".Trash" / uid, top});
        folders.append({top / (".Trash-" + uid), top});
    }
    return folders;
}

std::optional<Entry> newestEntry(const std::filesystem::path &original, const QDateTime &since)
{
    std::optional<Entry> best;
    for (const auto &[folder, top] : trashFolders(original)) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder / "info", ec), end; !ec && it != end; it.increment(ec)) {
            const std::filesystem::path info = it->path();
            if (info.extension() != ".trashinfo")
                continue;
            GKeyFilePtr keys(g_key_file_new());
            if (!g_key_file_load_from_file(keys.get(), info.c_str(), G_KEY_FILE_NONE, nullptr))
                continue;
            const GCharPtr escaped(g_key_file_get_string(keys.get(), "Trash Info", "Path", nullptr));
            const GCharPtr date(g_key_file_get_string(keys.get(), "Trash Info", "DeletionDate", nullptr));
            if (!escaped || !date)
                continue;
            const GCharPtr unescaped(g_uri_unescape_string(escaped.get(), nullptr));
            if (!unescaped)
                continue;
            std::filesystem::path recorded(unescaped.get());
            if (recorded.is_relative())
                recorded = top / recorded;
            if (recorded.lexically_normal() != original.lexically_normal())
                continue;
            const QDateTime deleted = QDateTime::fromString(QString::fromUtf8(date.get()), Qt::ISODate);
            if (!deleted.isValid() || deleted < since.addSecs(-2) || (best && best->deleted >= deleted))
                continue;
            std::filesystem::path file = folder / "files" / info.stem();
            if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
                continue;
            best = Entry{std::move(file), info, deleted};
        }
    }
    return best;
}

} // namespace

Result trash(const QList<std::filesystem::path> &files)
{
    Result result;
    for (const std::filesystem::path &path : files) {
        GFilePtr file(g_file_new_for_path(path.c_str()));
        GError *rawError = nullptr;
        const bool ok = g_file_trash(file.get(), nullptr, &rawError);
        GErrorPtr error(rawError);
        if (ok)
            result.done.append(path);
        else
            result.failed.append({path, error ? QString::fromUtf8(error->message) : QStringLiteral("?")});
    }
    return result;
}

Result restore(const QList<std::filesystem::path> &originals, const QDateTime &since)
{
    Result result;
    for (const std::filesystem::path &original : originals) {
        const std::optional<Entry> entry = newestEntry(original, since);
        if (!entry) {
            result.failed.append({original, tr("已不在废纸篓中")});
            continue;
        }
        // Never over another file: a place taken since the discard keeps what is there now.
        if (::renameat2(AT_FDCWD, entry->file.c_str(), AT_FDCWD, original.c_str(), RENAME_NOREPLACE) != 0) {
            const int err = errno;
            result.failed.append(
                {original, err == EEXIST ? tr("原位置已有同名文件") : QString::fromLocal8Bit(std::strerror(err))});
            continue;
        }
        std::error_code ec;
        std::filesystem::remove(entry->info, ec);
        result.done.append(original);
    }
    return result;
}

} // namespace vorlane::TrashService
