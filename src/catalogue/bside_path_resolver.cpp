#include "catalogue/bside_path_resolver.h"

#include "catalogue/media_classifier.h"
#include "catalogue/media_pair.h"

#include <map>

namespace vorlane::BsidePathResolver {
namespace {

std::filesystem::path standardized(const std::filesystem::path &source)
{
    std::filesystem::path path = source.is_absolute() ? source : std::filesystem::absolute(source);
    path = path.lexically_normal();
    if (!path.has_filename()) // "a/b/" normalises to "a/b/": the name is the last segment
        path = path.parent_path();
    return path;
}

std::filesystem::path copyPath(const std::filesystem::path &source, bool nameExtension)
{
    const std::filesystem::path path = standardized(source);
    const std::filesystem::path parent = path.parent_path();
    const std::string folderName = parent.filename().native() + "_bside";

    const std::string name = path.filename().native();
    const auto dot = name.rfind('.');
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    if (nameExtension && dot != std::string::npos)
        stem += "_" + name.substr(dot + 1);
    const bool video = MediaClassifier::classify(path) == MediaKind::Video;
    return parent / folderName / (stem + (video ? "_bside.mp4" : "_bside.jpg"));
}

} // namespace

std::filesystem::path destination(const std::filesystem::path &source) { return copyPath(source, false); }

std::filesystem::path extensionNamedDestination(const std::filesystem::path &source) { return copyPath(source, true); }

void assignCopyPaths(QList<MediaPair> &cells)
{
    std::map<std::filesystem::path, int> plainUses;
    for (const MediaPair &cell : cells)
        ++plainUses[destination(cell.primary().path)];

    std::vector<std::filesystem::path> chosen;
    chosen.reserve(size_t(cells.size()));
    std::map<std::filesystem::path, int> chosenUses;
    for (const MediaPair &cell : cells) {
        const std::filesystem::path plain = destination(cell.primary().path);
        chosen.push_back(plainUses[plain] == 1 ? plain : extensionNamedDestination(cell.primary().path));
        ++chosenUses[chosen.back()];
    }
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const auto &path = chosen[size_t(i)];
        cells[i].setCopyPath(chosenUses[path] == 1 ? std::optional(path) : std::nullopt);
    }
}

} // namespace vorlane::BsidePathResolver
