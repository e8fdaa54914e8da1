#pragma once

#include <QCollatorSortKey>

#include <string>

namespace vorlane {

// Natural file-name order: case- and width-insensitive, digit runs by value, letters by the user's locale.
// Only identical byte strings compare equal: ties of the collation fall back to the raw bytes.
//
// A key is computed once per name so that sorting thousands of names does not re-collate each comparison.
// Keys are made with a collator owned by the calling thread (QCollator is not safe to share).
class NaturalKey final
{
public:
    explicit NaturalKey(const std::string &bytes);

    int compare(const NaturalKey &other) const;
    bool operator<(const NaturalKey &other) const { return compare(other) < 0; }

private:
    QCollatorSortKey m_key;
    std::string m_bytes;
};

// Convenience for one-off comparisons; sorting code should build NaturalKeys once.
int naturalCompare(const std::string &a, const std::string &b);

} // namespace vorlane
