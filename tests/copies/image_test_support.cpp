#include "image_test_support.h"

#include "media/ffi/vips_runtime.h"
#include "testsupport/media_maker.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace vorlane::test {

QString qpath(const std::filesystem::path &path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

bool magick(const QStringList &args, const std::filesystem::path &output)
{
    return runTool(u"convert"_s, args + QStringList{qpath(output)}) == 0;
}

CopyHeader readHeader(const std::filesystem::path &path)
{
    CopyHeader header;
    QByteArray out;
    if (runTool(u"vipsheader"_s, {u"-a"_s, qpath(path)}, &out) != 0)
        return header;
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("width: "))
            header.width = line.mid(7).toInt();
        else if (line.startsWith("height: "))
            header.height = line.mid(8).toInt();
        else if (line.startsWith("exif-data:"))
            header.hasExif = true;
        else if (line.startsWith("orientation:"))
            header.hasOrientation = true;
        else if (line.startsWith("vips-loader: "))
            header.loader = line.mid(13).trimmed().toStdString();
    }
    return header;
}

std::vector<double> meanColour(const std::filesystem::path &path, int left, int top, int width, int height)
{
    VipsRuntime::ensureStarted();
    const vips::VImage image = vips::VImage::new_from_file(path.c_str());
    const vips::VImage area = image.extract_area(left, top, width, height);
    std::vector<double> mean;
    for (int band = 0; band < std::min(3, area.bands()); ++band)
        mean.push_back(area.extract_band(band).avg());
    return mean;
}

std::vector<std::filesystem::path> listFolder(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename());
    return names;
}

} // namespace vorlane::test
