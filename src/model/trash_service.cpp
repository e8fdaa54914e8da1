#include "model/trash_service.h"

#include <gio/gio.h>

#include <memory>

namespace vorlane::TrashService {
namespace {

struct GObjectUnref
{
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct GErrorFree
{
    void operator()(GError *e) const { g_error_free(e); }
};

} // namespace

Result trash(const QList<std::filesystem::path> &files)
{
    Result result;
    for (const std::filesystem::path &path : files) {
        std::unique_ptr<GFile, GObjectUnref> file(g_file_new_for_path(path.c_str()));
        GError *rawError = nullptr;
        const bool ok = g_file_trash(file.get(), nullptr, &rawError);
        std::unique_ptr<GError, GErrorFree> error(rawError);
        if (ok)
            result.trashed.append(path);
        else
            result.failed.append({path, error ? QString::fromUtf8(error->message) : QStringLiteral("?")});
    }
    return result;
}

} // namespace vorlane::TrashService
