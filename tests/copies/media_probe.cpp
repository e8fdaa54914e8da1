#include "copies/media_probe.h"

#include "testsupport/media_maker.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <fstream>

using namespace Qt::StringLiterals;

namespace vorlane::test {
namespace {

QString q(const std::filesystem::path &p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

QString text(const std::optional<QJsonObject> &object, const char *key)
{
    if (!object)
        return {};
    const QJsonValue value = object->value(QLatin1StringView(key));
    return value.isString() ? value.toString() : QString::number(value.toDouble());
}

} // namespace

int MediaProbe::rotation() const
{
    if (!video)
        return 0;
    for (const QJsonValue &side : video->value("side_data_list"_L1).toArray()) {
        const QJsonObject entry = side.toObject();
        if (entry.value("side_data_type"_L1).toString() == "Display Matrix"_L1)
            return entry.value("rotation"_L1).toInt();
    }
    return 0;
}

QString MediaProbe::videoString(const char *key) const { return text(video, key); }
QString MediaProbe::audioString(const char *key) const { return text(audio, key); }
int MediaProbe::videoInt(const char *key) const { return videoString(key).toInt(); }
int MediaProbe::audioInt(const char *key) const { return audioString(key).toInt(); }

std::optional<MediaProbe> probeMedia(const std::filesystem::path &file)
{
    QByteArray json;
    if (runTool(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-of"_s, u"json"_s, u"-show_format"_s, u"-show_streams"_s, q(file)},
                &json)
        != 0)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    MediaProbe probe;
    probe.format = root.value("format"_L1).toObject();
    for (const QJsonValue &value : root.value("streams"_L1).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value("codec_type"_L1).toString();
        if (type == "video"_L1) {
            if (!probe.video)
                probe.video = stream;
            ++probe.videoStreams;
        } else if (type == "audio"_L1) {
            if (!probe.audio)
                probe.audio = stream;
            ++probe.audioStreams;
        }
    }
    return probe;
}

std::vector<double> packetTimes(const std::filesystem::path &file, const char *streamType)
{
    QByteArray csv;
    runTool(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-select_streams"_s, QLatin1StringView(streamType) + u":0"_s, u"-show_entries"_s,
             u"packet=pts_time"_s, u"-of"_s, u"csv=p=0"_s, q(file)},
            &csv);
    std::vector<double> times;
    for (const QByteArray &line : csv.split('\n')) {
        bool ok = false;
        const double t = line.split(',').constFirst().trimmed().toDouble(&ok); // side data may follow
        if (ok)
            times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    return times;
}

std::vector<bool> videoKeyFlags(const std::filesystem::path &file)
{
    QByteArray csv;
    runTool(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-select_streams"_s, u"v:0"_s, u"-show_entries"_s, u"packet=flags"_s, u"-of"_s,
             u"csv=p=0"_s, q(file)},
            &csv);
    std::vector<bool> keys;
    for (const QByteArray &line : csv.split('\n')) {
        if (!line.trimmed().isEmpty())
            keys.push_back(line.startsWith('K'));
    }
    return keys;
}

std::vector<std::string> topLevelBoxes(const std::filesystem::path &file)
{
    std::vector<std::string> boxes;
    std::ifstream in(file, std::ios::binary);
    const auto fileSize = std::filesystem::file_size(file);
    uint64_t offset = 0;
    while (offset + 8 <= fileSize) {
        unsigned char header[16] = {};
        in.seekg(std::streamoff(offset));
        if (!in.read(reinterpret_cast<char *>(header), 8))
            break;
        uint64_t size = (uint64_t(header[0]) << 24) | (uint64_t(header[1]) << 16) | (uint64_t(header[2]) << 8) | header[3];
        boxes.emplace_back(reinterpret_cast<char *>(header + 4), 4);
        if (size == 1) { // 64-bit size follows the type
            if (!in.read(reinterpret_cast<char *>(header + 8), 8))
                break;
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = (size << 8) | header[i];
        } else if (size == 0) {
            break; // runs to the end of the file
        }
        if (size < 8)
            break;
        offset += size;
    }
    return boxes;
}

} // namespace vorlane::test
