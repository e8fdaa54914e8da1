#include "catalogue/sidecar.h"

#include "catalogue/exiv2_runtime.h"
#include "catalogue/media_classifier.h"
#include "catalogue/media_pair.h"

#include <QCoreApplication>

#include <exiv2/exiv2.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>

using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

constexpr std::array kLabels{ColourLabel::Red, ColourLabel::Yellow, ColourLabel::Green, ColourLabel::Blue,
                             ColourLabel::Purple};

QString tr(const char *text) { return QCoreApplication::translate("vorlane::Sidecars", text); }

QString nameOf(const std::filesystem::path &path) { return QString::fromStdString(path.filename().string()); }

// The XMP toolkit is one process-wide state: a packet is parsed or written by one thread at a time.
std::mutex &xmpLock()
{
    static std::mutex lock;
    return lock;
}

// A sidecar's bytes, read without following a symbolic link and only from a regular file of a sane size.
struct Bytes
{
    bool exists = false;
    std::string data;
    QString problem;
    struct stat st
    {
    };
};

Bytes readBytes(const std::filesystem::path &path)
{
    Bytes out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return out;
        out.exists = true;
        out.problem = errno == ELOOP ? tr("%1 is a link, not a sidecar").arg(nameOf(path))
                                     : tr("%1 cannot be read: %2").arg(nameOf(path), QString::fromLocal8Bit(std::strerror(errno)));
        return out;
    }
    out.exists = true;
    if (::fstat(fd, &out.st) != 0 || !S_ISREG(out.st.st_mode)) {
        out.problem = tr("%1 is not a regular file").arg(nameOf(path));
    } else if (size_t(out.st.st_size) > Sidecars::kMaxBytes) {
        out.problem = tr("%1 is too large for a sidecar").arg(nameOf(path));
    } else {
        out.data.resize(size_t(out.st.st_size));
        size_t got = 0;
        while (got < out.data.size()) {
            const ssize_t r = ::read(fd, out.data.data() + got, out.data.size() - got);
            if (r <= 0)
                break;
            got += size_t(r);
        }
        out.data.resize(got);
    }
    ::close(fd);
    return out;
}

std::optional<int> ratingOf(const Exiv2::XmpData &xmp)
{
    const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Rating"));
    if (it == xmp.end())
        return std::nullopt;
    bool ok = false;
    const double value = QString::fromStdString(it->toString()).trimmed().toDouble(&ok);
    if (!ok || value < -1 || value > 5)
        return std::nullopt;
    return int(value);
}

ColourLabel labelOf(const Exiv2::XmpData &xmp)
{
    if (const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Label")); it != xmp.end()) {
        if (const auto label = labelFromName(QString::fromStdString(it->toString()).trimmed()))
            return *label;
    }
    // darktable's own list: 0 red ... 4 purple; the first one counts.
    if (const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.darktable.colorlabels")); it != xmp.end() && it->count() > 0) {
        const int64_t n = Exiv2Compat::toInteger(*it, 0);
        if (n >= 0 && n < int64_t(kLabels.size()))
            return kLabels[size_t(n)];
    }
    return ColourLabel::None;
}

template<typename Key>
void erase(Exiv2::XmpData &xmp, const Key &key)
{
    for (auto it = xmp.findKey(key); it != xmp.end(); it = xmp.findKey(key))
        xmp.erase(it);
}

// The change applied to parsed XMP.
void apply(Exiv2::XmpData &xmp, const Sidecars::Change &change)
{
    if (change.rating) {
        erase(xmp, Exiv2::XmpKey("Xmp.xmp.Rating"));
        if (*change.rating != 0)
            xmp["Xmp.xmp.Rating"] = std::to_string(*change.rating);
    }
    if (change.label) {
        erase(xmp, Exiv2::XmpKey("Xmp.xmp.Label"));
        erase(xmp, Exiv2::XmpKey("Xmp.darktable.colorlabels"));
        if (*change.label != ColourLabel::None) {
            xmp["Xmp.xmp.Label"] = labelName(*change.label).toStdString();
            Exiv2::XmpArrayValue labels(Exiv2::xmpSeq);
            const auto at = std::find(kLabels.begin(), kLabels.end(), *change.label) - kLabels.begin();
            labels.read(std::to_string(at));
            xmp.add(Exiv2::XmpKey("Xmp.darktable.colorlabels"), &labels);
        }
    }
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The bytes in a new file beside path, flushed; empty on success, else why not.
QString writeTemp(const std::filesystem::path &temp, const std::filesystem::path &path, const std::string &bytes)
{
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return tr("%1 cannot be written: %2").arg(nameOf(path), QString::fromLocal8Bit(std::strerror(errno)));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0)
            break;
        done += size_t(w);
    }
    const int error = done == bytes.size() && ::fsync(fd) == 0 ? 0 : (errno ? errno : EIO);
    ::close(fd);
    if (error == 0)
        return {};
    ::unlink(temp.c_str());
    return tr("%1 cannot be written: %2").arg(nameOf(path), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString labelName(ColourLabel label)
{
    switch (label) {
    case ColourLabel::Red: return u"Red"_s;
    case ColourLabel::Yellow: return u"Yellow"_s;
    case ColourLabel::Green: return u"Green"_s;
    case ColourLabel::Blue: return u"Blue"_s;
    case ColourLabel::Purple: return u"Purple"_s;
    case ColourLabel::None: break;
    }
    return {};
}

std::optional<ColourLabel> labelFromName(QStringView name)
{
    if (name.isEmpty() || name.compare(u"none", Qt::CaseInsensitive) == 0)
        return ColourLabel::None;
    for (const ColourLabel label : kLabels) {
        if (name.compare(labelName(label), Qt::CaseInsensitive) == 0)
            return label;
    }
    return std::nullopt;
}

namespace Sidecars {

std::filesystem::path ownSidecar(const std::filesystem::path &file)
{
    return file.parent_path() / (file.filename().string() + ".xmp");
}

std::filesystem::path stemSidecar(const std::filesystem::path &file)
{
    return file.parent_path() / (file.stem().string() + ".xmp");
}

Reading parse(std::string_view packet)
{
    Exiv2Runtime::ensureStarted();
    Exiv2::XmpData xmp;
    int rc = 3;
    {
        const std::lock_guard lock(xmpLock());
        try {
            rc = Exiv2::XmpParser::decode(xmp, std::string(packet));
        } catch (const std::exception &) {
            rc = 3;
        }
    }
    if (rc != 0)
        return {std::nullopt, tr("not valid XMP")};
    return {Decision{ratingOf(xmp).value_or(0), labelOf(xmp)}, {}};
}

Reading read(const std::filesystem::path &xmp)
{
    const Bytes bytes = readBytes(xmp);
    if (!bytes.exists)
        return {};
    if (!bytes.problem.isEmpty())
        return {std::nullopt, bytes.problem};
    Reading r = parse(bytes.data);
    if (!r.problem.isEmpty())
        r.problem = tr("%1 is %2").arg(nameOf(xmp), r.problem);
    return r;
}

std::optional<Decision> decisionIn(const Exiv2::XmpData &xmp)
{
    const Decision d{ratingOf(xmp).value_or(0), labelOf(xmp)};
    return d.isEmpty() ? std::nullopt : std::optional(d);
}

Reading readCell(const std::vector<std::filesystem::path> &files, const std::optional<Decision> &embedded)
{
    QStringList problems;
    bool sidecarRead = false; // a sidecar that says nothing still outranks the photo: 0 clears a camera's rating
    const auto take = [&](const Reading &r) {
        if (!r.problem.isEmpty())
            problems << r.problem;
        sidecarRead = sidecarRead || r.decision.has_value();
        return r.decision && !r.decision->isEmpty();
    };
    for (const auto &file : files) {
        if (const Reading r = read(ownSidecar(file)); take(r))
            return {r.decision, problems.join(u'\n')};
    }
    std::vector<std::filesystem::path> stems;
    for (const auto &file : files) {
        if (std::find(stems.begin(), stems.end(), stemSidecar(file)) != stems.end())
            continue;
        stems.push_back(stemSidecar(file));
        if (const Reading r = read(stems.back()); take(r))
            return {r.decision, problems.join(u'\n')};
    }
    if (sidecarRead)
        return {Decision{}, problems.join(u'\n')};
    if (embedded && !embedded->isEmpty())
        return {embedded, problems.join(u'\n')};
    return {std::nullopt, problems.join(u'\n')};
}

static std::vector<std::filesystem::path> originalsOf(const MediaPair &cell)
{
    const QList<std::filesystem::path> paths = cell.originalPaths();
    return {paths.begin(), paths.end()};
}

Reading readCell(const MediaPair &cell)
{
    return readCell(originalsOf(cell), cell.isVideo() ? std::nullopt : cell.picturedItem().facts.decision);
}

QString writeCell(const MediaPair &cell, const Change &change) { return writeCell(originalsOf(cell), change); }

QString write(const std::filesystem::path &path, const Change &change)
{
    Exiv2Runtime::ensureStarted();
    // An editor may write the same sidecar meanwhile: the merge is redone on what is there just before the
    // rename, until nothing changed under it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const Bytes before = readBytes(path);
        if (!before.problem.isEmpty())
            return before.problem;
        Exiv2::XmpData xmp;
        std::string packet;
        {
            const std::lock_guard lock(xmpLock());
            try {
                if (before.exists && !before.data.empty() && Exiv2::XmpParser::decode(xmp, before.data) != 0)
                    return tr("%1 is not valid XMP; it was left as it is").arg(nameOf(path));
                apply(xmp, change);
                if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat | Exiv2::XmpParser::omitPacketWrapper) != 0)
                    return tr("%1 cannot be written: the XMP could not be made").arg(nameOf(path));
            } catch (const std::exception &) {
                return tr("%1 is not valid XMP; it was left as it is").arg(nameOf(path));
            }
        }
        const std::filesystem::path temp = path.parent_path() / ("." + path.filename().string() + ".vorlane-tmp");
        if (const QString why = writeTemp(temp, path, packet); !why.isEmpty())
            return why;
        const Bytes now = readBytes(path);
        const bool unchanged = now.exists == before.exists
            && (!before.exists || (now.problem.isEmpty() && sameFile(now.st, before.st) && now.data == before.data));
        if (!unchanged) {
            ::unlink(temp.c_str());
            continue;
        }
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            const int error = errno;
            ::unlink(temp.c_str());
            return tr("%1 cannot be written: %2").arg(nameOf(path), QString::fromLocal8Bit(std::strerror(error)));
        }
        return {};
    }
    return tr("%1 kept changing while it was written; try again").arg(nameOf(path));
}

QString writeCell(const std::vector<std::filesystem::path> &files, const Change &change)
{
    QStringList failures;
    for (const auto &file : files) {
        if (const QString why = write(ownSidecar(file), change); !why.isEmpty())
            failures << why;
        std::error_code ec;
        if (MediaClassifier::isRaw(file) && std::filesystem::exists(stemSidecar(file), ec)) {
            if (const QString why = write(stemSidecar(file), change); !why.isEmpty())
                failures << why;
        }
    }
    return failures.join(u'\n');
}

} // namespace Sidecars
} // namespace vorlane
