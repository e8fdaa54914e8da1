#include "testsupport/support.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <glib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

using namespace Qt::StringLiterals;

namespace vorlane::test {

TempTree::TempTree()
    : m_root(std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString()))
{
}

TempTree::~TempTree()
{
    // Tests make folders unreadable on purpose; give access back so the tree can be removed.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_root, std::filesystem::directory_options::skip_permission_denied, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
}

std::filesystem::path TempTree::file(const std::string &relative, const std::string &content) const
{
    const std::filesystem::path p = m_root / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::filesystem::path TempTree::dir(const std::string &relative) const
{
    const std::filesystem::path p = m_root / relative;
    std::filesystem::create_directories(p);
    return p;
}

std::optional<std::filesystem::path> fixturesDir()
{
    if (const char *env = std::getenv("VORLANE_FIXTURES"); env && std::filesystem::is_directory(env))
        return std::filesystem::path(env);
    const std::filesystem::path beside = std::filesystem::path(VORLANE_SOURCE_DIR) / ".." / "shared" / "fixtures";
    if (std::filesystem::is_directory(beside / "formats"))
        return beside.lexically_normal();
    return std::nullopt;
}

std::string readFile(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> namesIn(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool haveTool(const char *program) { return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(); }

std::optional<std::string> inChild(const std::function<std::string()> &body, bool asNobody, unsigned seconds)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(seconds);
        if (asNobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const std::string text = body();
        _exit(write(fds[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(text) : std::nullopt;
}

void useTemporaryHome(const std::filesystem::path &home)
{
    // The data folder is a link that freshTrash() points elsewhere: GLib reads its path once per process.
    std::filesystem::create_directories(home / ".local");
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(home / ".local" / "share", ec))) {
        std::filesystem::create_directories(home / "data-0");
        std::filesystem::create_directory_symlink(home / "data-0", home / ".local" / "share");
    }
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

std::filesystem::path freshTrash()
{
    static int generation = 0;
    const std::filesystem::path home = qgetenv("HOME").toStdString();
    const std::filesystem::path data = home / ("data-" + std::to_string(++generation));
    std::filesystem::create_directories(data);
    const std::filesystem::path link = home / ".local" / ("share.next-" + std::to_string(generation));
    std::filesystem::create_directory_symlink(data, link);
    std::filesystem::rename(link, home / ".local" / "share");
    return data / "Trash";
}

void failOnGlibCriticals()
{
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL));
}

std::string caseName(std::string text)
{
    for (char &c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return text;
}

int runTool(const QString &program, const QStringList &args, QByteArray *output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(output ? QProcess::SeparateChannels : QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted(30000))
        return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString qpath(const std::filesystem::path &p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

bool magick(const QStringList &args, const std::filesystem::path &output)
{
    return runTool(u"convert"_s, args + QStringList{qpath(output)}) == 0;
}

bool makeJpeg(const std::filesystem::path &path, int width, int height, const QStringList &exiftoolTags)
{
    const QString size = QString::number(width) + u'x' + QString::number(height);
    if (!magick({u"-size"_s, size, u"plasma:fractal"_s, u"-quality"_s, u"90"_s}, path))
        return false;
    return exiftoolTags.isEmpty() || setExif(path, exiftoolTags);
}

bool setExif(const std::filesystem::path &path, const QStringList &exiftoolTags)
{
    return runTool(u"exiftool"_s,
                   QStringList{u"-q"_s, u"-overwrite_original"_s} + exiftoolTags + QStringList{qpath(path)})
        == 0;
}

std::string withJpegSize(std::string jpeg, int width, int height)
{
    const auto byte = [&](size_t at) { return at < jpeg.size() ? uint8_t(jpeg[at]) : 0; };
    for (size_t at = 2; byte(at) == 0xFF && at + 9 < jpeg.size(); at += 2 + (byte(at + 2) << 8 | byte(at + 3))) {
        if (byte(at + 1) >= 0xC0 && byte(at + 1) <= 0xC2) {
            qToBigEndian(quint16(height), jpeg.data() + at + 5);
            qToBigEndian(quint16(width), jpeg.data() + at + 7);
            return jpeg;
        }
    }
    return {};
}

bool ffmpeg(const QStringList &args, const std::filesystem::path &output)
{
    return runTool(u"ffmpeg"_s, QStringList{u"-v"_s, u"error"_s, u"-y"_s} + args + QStringList{qpath(output)}) == 0;
}

QStringList testPattern(const char *size, double seconds)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s,
            u"testsrc2=size=%1:rate=30:duration=%2"_s.arg(QLatin1StringView(size)).arg(seconds)};
}

QStringList tone(int sampleRate, double seconds)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s,
            u"sine=frequency=440:sample_rate=%1:duration=%2"_s.arg(sampleRate).arg(seconds)};
}

bool rotateClip(const std::filesystem::path &clip, int degrees)
{
    const std::filesystem::path plain = clip.parent_path() / ("plain-" + clip.filename().string());
    std::filesystem::rename(clip, plain);
    // FFmpeg 6 and later ignore the old "rotate" tag and take -display_rotation N, which gives the display
    // matrix that FFmpeg 5.1 (without that option) writes for rotate=N.
    const bool ok
        = ffmpeg({u"-display_rotation:v:0"_s, QString::number(degrees), u"-i"_s, qpath(plain), u"-c"_s, u"copy"_s}, clip)
        || ffmpeg({u"-i"_s, qpath(plain), u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=%1"_s.arg(degrees)}, clip);
    std::filesystem::remove(plain);
    return ok;
}

} // namespace vorlane::test
