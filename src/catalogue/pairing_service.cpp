#include "catalogue/pairing_service.h"

#include "catalogue/bside_path_resolver.h"
#include "catalogue/natural_order.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace vorlane::PairingService {

QList<MediaPair> pair(const QList<MediaItem> &items)
{
    // Group by exact stem bytes, remembering the order in which stems first appear.
    std::map<std::string, QList<const MediaItem *>> groups;
    std::vector<std::string> stemOrder;
    for (const MediaItem &item : items) {
        auto [it, inserted] = groups.try_emplace(item.stemKey);
        if (inserted)
            stemOrder.push_back(item.stemKey);
        it->second.append(&item);
    }

    QList<MediaPair> result;
    result.reserve(items.size());
    for (const std::string &stem : stemOrder) {
        QList<const MediaItem *> images, raws, videos;
        for (const MediaItem *item : groups[stem]) {
            if (item->kind == MediaItem::Kind::Video)
                videos.append(item);
            else if (item->isRaw)
                raws.append(item);
            else
                images.append(item);
        }
        if (!videos.isEmpty()) {
            for (auto *v : videos)
                result.append(MediaPair(*v));
            for (auto *i : images)
                result.append(MediaPair(*i));
            for (auto *r : raws)
                result.append(MediaPair(*r));
        } else if (!images.isEmpty() && !raws.isEmpty()) {
            result.append(MediaPair(*images.first(), *raws.first()));
            for (qsizetype i = 1; i < images.size(); ++i)
                result.append(MediaPair(*images[i]));
            for (qsizetype i = 1; i < raws.size(); ++i)
                result.append(MediaPair(*raws[i]));
        } else {
            for (auto *i : images)
                result.append(MediaPair(*i));
            for (auto *r : raws)
                result.append(MediaPair(*r));
        }
    }
    sortByName(result);
    BsidePathResolver::assignCopyPaths(result);
    return result;
}

void sortByName(QList<MediaPair> &pairs)
{
    std::vector<NaturalKey> keys;
    keys.reserve(size_t(pairs.size()));
    for (const MediaPair &p : pairs)
        keys.emplace_back(p.stemKey());
    std::vector<qsizetype> order(size_t(pairs.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)] < keys[size_t(b)]; });
    QList<MediaPair> sorted;
    sorted.reserve(pairs.size());
    for (qsizetype i : order)
        sorted.append(pairs[i]);
    pairs = std::move(sorted);
}

void sortByDate(QList<MediaPair> &pairs)
{
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const MediaPair &a, const MediaPair &b) { return a.dateTaken() < b.dateTaken(); });
}

} // namespace vorlane::PairingService
