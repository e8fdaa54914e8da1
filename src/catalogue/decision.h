#pragma once

#include <QString>

#include <optional>

namespace vorlane {

// A cell's colour label, as editors name them in xmp:Label.
enum class ColourLabel { None, Red, Yellow, Green, Blue, Purple };

// What the photographer decided about a photo, as the editor that comes next reads it: a star rating (0 none,
// 1 to 5 stars, -1 rejected) and a colour label.
struct Decision
{
    int rating = 0;
    ColourLabel label = ColourLabel::None;
    bool operator==(const Decision &) const = default;
    bool isEmpty() const { return rating == 0 && label == ColourLabel::None; }
};

// "Red" ... "Purple", "" for none; and back, case-insensitively ("none" and "" for none).
QString labelName(ColourLabel label);
std::optional<ColourLabel> labelFromName(QStringView name);

} // namespace vorlane
