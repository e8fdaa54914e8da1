#include "copies/bside_path_resolver.h"

#include "catalogue/media_classifier.h"

namespace vorlane::BsidePathResolver {

std::filesystem::path destination(const std::filesystem::path &source)
{
    std::filesystem::path standardized = source.is_absolute() ? source : std::filesystem::absolute(source);
    standardized = standardized.lexically_normal();
    if (!standardized.has_filename()) // "a/b/" normalises to "a/b/": the name is the last segment
        standardized = standardized.parent_path();

    const std::filesystem::path parent = standardized.parent_path();
    const std::string folderName = parent.filename().native() + "_bside";

    const std::string name = standardized.filename().native();
    const auto dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const bool video = MediaClassifier::isVideoExtension(MediaClassifier::lowerExtension(standardized));

    return parent / folderName / (stem + (video ? "_bside.mp4" : "_bside.jpg"));
}

void ensureParentDir(const std::filesystem::path &destination)
{
    const std::filesystem::path folder = destination.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        // create_directories reports an existing folder as no error; anything else is the file system's.
        if (std::filesystem::is_directory(folder))
            return;
        throw std::filesystem::filesystem_error("cannot create folder", folder, ec);
    }
    if (!std::filesystem::is_directory(folder))
        throw std::filesystem::filesystem_error(
            "cannot create folder", folder, std::make_error_code(std::errc::not_a_directory));
}

} // namespace vorlane::BsidePathResolver
