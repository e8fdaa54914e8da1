#include "testsupport/media_maker.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace vorlane::test {
namespace {

QString q(const std::filesystem::path &p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

} // namespace

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
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool makeJpeg(const std::filesystem::path &path, int width, int height, const QStringList &exiftoolTags)
{
    const QString size = QString::number(width) + u'x' + QString::number(height);
    if (runTool(u"convert"_s, {u"-size"_s, size, u"plasma:fractal"_s, u"-quality"_s, u"90"_s, q(path)}) != 0)
        return false;
    return exiftoolTags.isEmpty() || setExif(path, exiftoolTags);
}

bool setExif(const std::filesystem::path &path, const QStringList &exiftoolTags)
{
    QStringList args{u"-q"_s, u"-overwrite_original"_s};
    args += exiftoolTags;
    args += q(path);
    return runTool(u"exiftool"_s, args) == 0;
}

} // namespace vorlane::test
