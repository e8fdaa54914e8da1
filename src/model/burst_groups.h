#pragma once

#include "core/background_jobs.h"
#include "media/burst_features.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUuid>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

namespace vorlane {

class FolderListing;

// The bursts of the listing shown: runs of neighbouring cells, in the grid's order, taken within two
// seconds of each other that look alike (BurstGrouping), and the best frame of each group (BurstPick).
// Worked out in the background like thumbnails, at the lowest priority and only after the first screen has
// had its moment: first the looks of the cells a time link joins (a decode at 1/8), then how each such pair
// of looks lies over the other (a search of shifts and zooms, kept off the main thread), then the focus maps
// of the cells that turned out grouped (a decode at 1/2). Work for a folder left is stopped; what was read is
// kept in memory by file (its path, size and time), never on disk. Main thread.
class BurstGroups final : public QObject
{
    Q_OBJECT

public:
    using Analyse
        = std::function<BurstFeatures::Features(const std::filesystem::path &, bool withSharpness, std::stop_token)>;

    // analyse: how a frame is read; BurstFeatures::read unless a test supplies its own.
    explicit BurstGroups(const FolderListing &listing, Analyse analyse = {}, QObject *parent = nullptr);
    ~BurstGroups() override;

    // Where a cell stands in its group of two or more: 1-based, of size; best once every frame of the
    // group has its score. Nothing for a cell alone (or not yet known to be grouped).
    struct Place
    {
        int index = 0;
        int size = 0;
        bool best = false;
        int group = 0; // which group of the listing: neighbours with the same number share a tray
        bool operator==(const Place &) const = default;
    };
    std::optional<Place> placeOf(const QUuid &cellId) const;
    // The cells of a cell's group in the grid's order; empty for a cell alone.
    QList<QUuid> membersOf(const QUuid &cellId) const;
    // Nothing waiting and nothing running.
    bool isSettled() const
    {
        return m_waiting.empty() && m_linksWaiting.empty() && m_jobs.running() == 0 && !m_delay.isActive()
            && !m_regroup.isActive();
    }
    // How long after a listing the work starts (the first screen's thumbnails go first).
    void setStartDelay(int ms) { m_delay.setInterval(ms); }

Q_SIGNALS:
    void changed(); // groups, places or scores

private:
    struct Cell
    {
        QUuid id;
        QString key; // the file as listed: path, size, time
        std::filesystem::path file;
    };
    using Known = BurstFeatures::Features;
    struct Request
    {
        QString key;
        std::filesystem::path file;
        bool withSharpness = false;
    };
    // Two neighbours' looks to lay over each other.
    struct LinkRequest
    {
        QString key; // linkKey() of the two files
        BurstFeatures::Looks a;
        BurstFeatures::Looks b;
    };
    static QString linkKey(const QString &a, const QString &b) { return a + u'\n' + b; }

    void relist();
    void regroup();
    void startJobs();
    void arrived(const QString &key, std::optional<BurstFeatures::Features> features, bool withSharpness);
    void linked(const QString &key, std::optional<BurstFeatures::Alignment> alignment);
    // The alignment of cells i and i + 1 once worked out; asks for it when both looks are known.
    std::optional<BurstFeatures::Alignment> alignmentOf(size_t i);
    bool isKnown(const Request &request) const;

    const FolderListing &m_listing;
    Analyse m_analyse;
    QList<Cell> m_cells;
    std::vector<bool> m_timeLinks;
    // Per cell and per link of the listing, what a regrouping reads over and over, without building keys.
    std::vector<bool> m_hasLooks;
    std::vector<std::optional<BurstFeatures::Alignment>> m_linkAt;
    QHash<QString, QList<qsizetype>> m_cellsOfKey;
    QHash<QString, Known> m_known; // by file key, across listings
    std::deque<Request> m_waiting;
    std::deque<LinkRequest> m_linksWaiting;
    QHash<QString, BurstFeatures::Alignment> m_links; // by linkKey(), across listings
    QSet<QString> m_linksAsked;
    QSet<QString> m_scoreAsked; // keys whose sharpness is waiting or being read
    // The best frame of each group judged, by the group's first cell: kept while the group keeps its cells and
    // no focus map of its frames changes, so a regrouping judges only the groups that changed.
    struct Judged
    {
        size_t end = 0;
        size_t best = 0;
    };
    QHash<size_t, Judged> m_judged;
    QHash<QUuid, QString> m_keyOf;
    QHash<QUuid, Place> m_places;
    QList<QList<QUuid>> m_groups;  // of two or more cells
    QHash<QUuid, int> m_groupOf;   // cell -> its index in m_groups
    QTimer m_delay;
    QTimer m_regroup;
    BackgroundJobs m_jobs;
};

} // namespace vorlane
