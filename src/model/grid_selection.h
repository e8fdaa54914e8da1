#pragma once

#include <QHash>
#include <QUuid>

namespace vorlane {

// One cell of the grid named by identity: a folder entry or a media pair of the current listing. Ids are
// made afresh at every listing, so a selection means something only against the listing it was taken from.
struct GridSelection
{
    enum class Kind { Folder, Media };
    Kind kind = Kind::Media;
    QUuid id;

    static GridSelection folder(const QUuid &id) { return {Kind::Folder, id}; }
    static GridSelection media(const QUuid &id) { return {Kind::Media, id}; }
    bool operator==(const GridSelection &) const = default;
};

inline size_t qHash(const GridSelection &s, size_t seed = 0) { return qHashMulti(seed, int(s.kind), s.id); }

} // namespace vorlane
