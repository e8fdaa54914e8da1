#pragma once

#include <QHash>
#include <QString>
#include <QUuid>

#include <filesystem>

namespace vorlane {

// The status of one pair's copy job. A failed status carries the failure's message.
class BsideJobStatus final
{
public:
    enum class Case { Queued, Running, Completed, Failed };

    static BsideJobStatus queued() { return BsideJobStatus(Case::Queued); }
    static BsideJobStatus running() { return BsideJobStatus(Case::Running); }
    static BsideJobStatus completed() { return BsideJobStatus(Case::Completed); }
    static BsideJobStatus failed(QString message) { return BsideJobStatus(Case::Failed, std::move(message)); }

    Case kind() const { return m_case; }
    const QString &message() const { return m_message; } // empty unless failed

    bool isFinished() const { return m_case == Case::Completed || m_case == Case::Failed; }
    bool isInProgress() const { return m_case == Case::Queued || m_case == Case::Running; }

    bool operator==(const BsideJobStatus &) const = default;

private:
    explicit BsideJobStatus(Case c, QString message = {})
        : m_case(c)
        , m_message(std::move(message))
    {
    }

    Case m_case;
    QString m_message;
};

size_t qHash(const BsideJobStatus &status, size_t seed = 0);

// One copy job as a whole: which pair, from which original to which copy, and with which encoder.
struct BsideJob
{
    BsideJob(QUuid pairId, std::filesystem::path source, std::filesystem::path destination, bool isVideo);

    QUuid id;
    QUuid pairId;
    std::filesystem::path sourceURL;
    std::filesystem::path destinationURL;
    bool isVideo = false;
    BsideJobStatus status = BsideJobStatus::queued();

    bool isFinished() const { return status.isFinished(); }
    bool isInProgress() const { return status.isInProgress(); }
    bool operator==(const BsideJob &) const = default;
};

} // namespace vorlane
