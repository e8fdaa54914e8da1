#include "model/burst_groups.h"

#include "catalogue/burst_grouping.h"
#include "core/cancellation.h"
#include "media/burst_pick.h"
#include "media/decode_error.h"
#include "model/folder_listing.h"

namespace vorlane {
namespace {

// The lowest priority there is: bursts wait for the interface, the thumbnails and the copies.
constexpr int kWorkerNice = 19;
constexpr int kStartDelayMs = 400;

BurstFeatures::Features readFeatures(const std::filesystem::path &file, bool withSharpness, std::stop_token token)
{
    return BurstFeatures::read(file, withSharpness, token);
}

} // namespace

BurstGroups::BurstGroups(const FolderListing &listing, Analyse analyse, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
    , m_analyse(analyse ? std::move(analyse) : Analyse(&readFeatures))
    , m_jobs(QStringLiteral("bursts"), 2, kWorkerNice)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(kStartDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &BurstGroups::startJobs);
    m_regroup.setSingleShot(true);
    m_regroup.setInterval(100);
    connect(&m_regroup, &QTimer::timeout, this, [this] {
        regroup();
        startJobs();
    });
    connect(&m_listing, &FolderListing::contentsChanged, this, &BurstGroups::relist);
}

BurstGroups::~BurstGroups() = default;

std::optional<BurstGroups::Place> BurstGroups::placeOf(const QUuid &cellId) const
{
    const auto it = m_places.constFind(cellId);
    return it == m_places.constEnd() ? std::nullopt : std::optional<Place>(*it);
}

QList<QUuid> BurstGroups::membersOf(const QUuid &cellId) const
{
    const auto group = m_groupOf.constFind(cellId);
    return group == m_groupOf.constEnd() ? QList<QUuid>() : m_groups[*group];
}

void BurstGroups::relist()
{
    m_cells.clear();
    m_keyOf.clear();
    m_cellsOfKey.clear();
    const QList<MediaPair> &pairs = m_listing.pairs();
    for (const MediaPair &pair : pairs) {
        const MediaItem &file = pair.picturedItem();
        m_cells.append({pair.id(), file.key().text(), file.path});
        m_keyOf.insert(pair.id(), m_cells.last().key);
    }
    m_timeLinks = BurstGrouping::timeLinks(pairs);
    m_linkAt.assign(m_timeLinks.size(), std::nullopt);
    m_hasLooks.assign(size_t(m_cells.size()), false);
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        m_cellsOfKey[m_cells[i].key].append(i);
        m_hasLooks[size_t(i)] = m_known.contains(m_cells[i].key);
    }
    // Only a cell that a time link joins to a neighbour can be in a burst: only its looks are read.
    m_waiting.clear();
    m_scoreAsked.clear();
    m_linksWaiting.clear();
    m_linksAsked.clear();
    m_judged.clear();
    QSet<QString> wanted;
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        const bool linked = (i > 0 && m_timeLinks[size_t(i - 1)]) || (size_t(i) < m_timeLinks.size() && m_timeLinks[size_t(i)]);
        if (!linked)
            continue;
        wanted.insert(m_cells[i].key);
        const Request request{m_cells[i].key, m_cells[i].file, false};
        if (!isKnown(request))
            m_waiting.push_back(request);
    }
    m_jobs.stopAllBut(wanted);
    m_regroup.stop();
    regroup();
    m_delay.start();
}

bool BurstGroups::isKnown(const Request &request) const
{
    const auto it = m_known.constFind(request.key);
    return it != m_known.constEnd() && (!request.withSharpness || it->focus.has_value());
}

std::optional<BurstFeatures::Alignment> BurstGroups::alignmentOf(size_t i)
{
    if (m_linkAt[i] || !m_hasLooks[i] || !m_hasLooks[i + 1])
        return m_linkAt[i];
    const QString &a = m_cells[qsizetype(i)].key, &b = m_cells[qsizetype(i + 1)].key;
    const QString key = linkKey(a, b);
    if (const auto known = m_links.constFind(key); known != m_links.constEnd())
        return m_linkAt[i] = *known;
    if (!m_linksAsked.contains(key)) {
        m_linksAsked.insert(key);
        m_linksWaiting.push_back({key, m_known.value(a).looks, m_known.value(b).looks});
    }
    return std::nullopt;
}

void BurstGroups::regroup()
{
    const std::vector<bool> links = BurstGrouping::confirmedLinks(m_timeLinks, [&](size_t i) {
        const auto alignment = alignmentOf(i);
        return alignment && alignment->similarity >= BurstGrouping::kMinSimilarity;
    });
    const std::vector<int> groupOf = BurstGrouping::groups(links, m_cells.size());

    // Groups of two or more, their members and, once all are scored, their best.
    QHash<QUuid, Place> places;
    QList<QList<QUuid>> groups;
    QHash<QUuid, int> groupOfCell;
    size_t start = 0;
    while (start < groupOf.size()) {
        size_t end = start;
        while (end < groupOf.size() && groupOf[end] == groupOf[start])
            ++end;
        if (end - start >= 2) {
            QList<QUuid> ids;
            std::vector<const BurstFeatures::Features *> frames;
            for (size_t i = start; i < end; ++i) {
                const Cell &cell = m_cells[qsizetype(i)];
                ids.append(cell.id);
                const auto known = m_known.constFind(cell.key);
                if (known != m_known.constEnd() && known->focus) {
                    frames.push_back(&*known);
                } else if (!m_scoreAsked.contains(cell.key)) {
                    m_scoreAsked.insert(cell.key);
                    m_waiting.push_back(Request{cell.key, cell.file, true});
                }
            }
            const int group = int(groups.size());
            for (size_t i = start; i < end; ++i) {
                places.insert(ids[qsizetype(i - start)], Place{int(i - start) + 1, int(end - start), false, group});
                groupOfCell.insert(ids[qsizetype(i - start)], group);
            }
            groups.append(ids);
            if (frames.size() == end - start) {
                auto judged = m_judged.constFind(start);
                if (judged == m_judged.constEnd() || judged->end != end) {
                    std::vector<BurstFeatures::Alignment> steps;
                    for (size_t i = start; i + 1 < end; ++i)
                        steps.push_back(m_linkAt[i].value_or(BurstFeatures::Alignment{}));
                    judged = m_judged.insert(start, Judged{end, BurstPick::judge(frames, steps).best});
                }
                places[ids[qsizetype(judged->best)]].best = true;
            }
        }
        start = end;
    }
    m_groups = std::move(groups);
    m_groupOf = std::move(groupOfCell);
    if (places == m_places)
        return; // the places say it all: the groups are runs of the listing's order
    m_places = std::move(places);
    Q_EMIT changed();
}

void BurstGroups::startJobs()
{
    if (m_delay.isActive())
        return;
    // Laying looks over each other takes a millisecond: it goes before the next decode.
    while (m_jobs.hasRoom() && !m_linksWaiting.empty()) {
        LinkRequest request = std::move(m_linksWaiting.front());
        m_linksWaiting.pop_front();
        if (m_jobs.isRunning(request.key))
            continue;
        m_jobs.start(
            request.key, this,
            [request](std::stop_token) { return BurstFeatures::align(request.a, request.b); },
            [key = request.key](BurstGroups &groups, BurstFeatures::Alignment alignment, bool stopped) {
                groups.linked(key, stopped ? std::nullopt : std::optional(alignment));
            });
    }
    while (m_jobs.hasRoom() && !m_waiting.empty()) {
        const Request request = m_waiting.front();
        m_waiting.pop_front();
        if (isKnown(request) || m_jobs.isRunning(request.key))
            continue;
        m_jobs.start(
            request.key, this,
            [analyse = m_analyse, request](std::stop_token token) -> std::optional<BurstFeatures::Features> {
                try {
                    return analyse(request.file, request.withSharpness, token);
                } catch (const CancelledError &) {
                    return std::nullopt;
                } catch (const DecodeError &) {
                } catch (const std::bad_alloc &) {
                }
                // A frame that cannot be read looks like nothing and stays alone.
                BurstFeatures::Features none;
                if (request.withSharpness)
                    none.focus = BurstFeatures::Focus{};
                return none;
            },
            [key = request.key, withSharpness = request.withSharpness](
                BurstGroups &groups, std::optional<BurstFeatures::Features> features, bool stopped) {
                groups.arrived(key, stopped ? std::nullopt : std::move(features), withSharpness);
            });
    }
}

void BurstGroups::arrived(const QString &key, std::optional<BurstFeatures::Features> features, bool withSharpness)
{
    if (!features && withSharpness)
        m_scoreAsked.remove(key); // stopped: asked again if its group still wants it
    if (features) {
        Known &known = m_known[key];
        known.looks = features->looks;
        for (const qsizetype i : m_cellsOfKey.value(key))
            m_hasLooks[size_t(i)] = true;
        if (withSharpness) {
            known.focus = features->focus.value_or(BurstFeatures::Focus{});
            for (const qsizetype i : m_cellsOfKey.value(key)) {
                for (auto it = m_judged.begin(); it != m_judged.end();) {
                    it = it.key() <= size_t(i) && size_t(i) < it->end ? m_judged.erase(it) : std::next(it);
                }
            }
        }
        // Arrivals close together make one regrouping (a big folder's frames land many a second).
        if (!m_regroup.isActive())
            m_regroup.start();
    }
    startJobs();
}

void BurstGroups::linked(const QString &key, std::optional<BurstFeatures::Alignment> alignment)
{
    m_linksAsked.remove(key); // asked again if a regrouping still wants it
    if (alignment) {
        m_links.insert(key, *alignment);
        if (!m_regroup.isActive())
            m_regroup.start();
    }
    startJobs();
}

} // namespace vorlane
