#pragma once

#include <filesystem>
#include <string_view>

namespace vorlane {

// A hidden temporary file beside a destination (same folder, so the final rename is atomic and the
// scanner never lists it). Removed on destruction unless commit() renamed it over the destination, so a
// failed, cancelled or crashed-into write never leaves a partial copy at the destination and never
// disturbs an earlier copy there.
class PendingFile final
{
public:
    // Creates the empty temporary file (mode 0644). Throws std::filesystem::filesystem_error on failure.
    explicit PendingFile(std::filesystem::path destination);
    ~PendingFile();

    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    const std::filesystem::path &path() const { return m_temporary; }
    const std::filesystem::path &destination() const { return m_destination; }

    // Writes all bytes to the temporary file and flushes them to disk. Throws on failure.
    void write(std::string_view bytes);

    // fsyncs the temporary file and renames it over the destination. Throws on failure (then nothing moved).
    void commit();

private:
    std::filesystem::path m_destination;
    std::filesystem::path m_temporary;
    bool m_committed = false;
};

// Convenience: write bytes to destination atomically through a PendingFile.
void writeFileAtomically(const std::filesystem::path &destination, std::string_view bytes);

} // namespace vorlane
