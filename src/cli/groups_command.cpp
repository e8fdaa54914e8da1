#include "cli/groups_command.h"

#include "catalogue/burst_grouping.h"
#include "cli/folder_argument.h"
#include "media/burst_features.h"
#include "media/burst_pick.h"
#include "media/decode_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>

namespace vorlane::cli {
namespace {

constexpr const char *kUsage = "usage: vorlane-cli groups DIR [--sort name|date]\n";

// A JSON string, escaped as JSON wants it.
QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

int runGroups(const std::vector<std::string> &args)
{
    int status = 0;
    const std::optional<ListedFolder> listing = listFolder(args, kUsage, &status);
    if (!listing)
        return status;
    const QList<MediaPair> &cells = listing->cells;

    // Every still's looks and sharpness from one decode of its luma at half size, on every core.
    std::vector<BurstFeatures::Features> features(size_t(cells.size()));
    std::vector<size_t> stills;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (!cells[i].isVideo())
            stills.push_back(size_t(i));
    }
    QtConcurrent::blockingMap(stills, [&](size_t i) {
        const MediaPair &cell = cells[qsizetype(i)];
        try {
            features[i] = BurstFeatures::read((cell.imageItem() ? *cell.imageItem() : cell.primary()).path, true, {});
        } catch (const DecodeError &) {
            features[i] = {}; // an undecodable frame looks like nothing: it stays alone
        } catch (const std::bad_alloc &) {
            features[i] = {};
        }
    });

    // How each pair of neighbours close in time lies over the other, on every core.
    const std::vector<bool> timeLinked = BurstGrouping::timeLinks(cells);
    std::vector<BurstFeatures::Alignment> alignments(timeLinked.size());
    std::vector<size_t> linked;
    for (size_t i = 0; i < timeLinked.size(); ++i) {
        if (timeLinked[i])
            linked.push_back(i);
    }
    QtConcurrent::blockingMap(linked, [&](size_t i) { alignments[i] = BurstFeatures::align(features[i].looks, features[i + 1].looks); });
    const std::vector<bool> links = BurstGrouping::confirmedLinks(
        timeLinked, [&](size_t i) { return alignments[i].similarity >= BurstGrouping::kMinSimilarity; });
    const std::vector<int> groupOf = BurstGrouping::groups(links, cells.size());
    std::vector<double> sharpness(features.size(), 0.0);
    std::vector<bool> best(features.size(), false);
    for (size_t start = 0; start < groupOf.size();) {
        size_t end = start;
        std::vector<const BurstFeatures::Features *> frames;
        for (; end < groupOf.size() && groupOf[end] == groupOf[start]; ++end)
            frames.push_back(&features[end]);
        if (frames.size() >= 2 && std::all_of(frames.begin(), frames.end(), [](auto *f) { return f->focus.has_value(); })) {
            const BurstPick::Verdict verdict = BurstPick::judge(
                frames, std::vector<BurstFeatures::Alignment>(alignments.begin() + std::ptrdiff_t(start),
                                                              alignments.begin() + std::ptrdiff_t(end - 1)));
            std::copy(verdict.sharpness.begin(), verdict.sharpness.end(), sharpness.begin() + std::ptrdiff_t(start));
            best[start + verdict.best] = true;
        } else if (frames.size() == 1 && frames[0]->focus) {
            sharpness[start] = BurstFeatures::sharpnessOf(*frames[0]->focus);
        }
        start = end;
    }

    for (size_t i : stills) {
        const double exposure = features[i].focus ? features[i].focus->exposure : 0.0;
        const QByteArray line = "{\"cell\": " + jsonString(cells[qsizetype(i)].displayName())
            + ", \"group\": " + QByteArray::number(groupOf[i]) + ", \"sharpness\": "
            + QByteArray::number(sharpness[i], 'f', 4) + ", \"exposure\": " + QByteArray::number(exposure, 'f', 4)
            + ", \"best\": " + (best[i] ? "true" : "false") + "}\n";
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    return 0;
}

} // namespace vorlane::cli
