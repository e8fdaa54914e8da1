#pragma once

#include <QHash>
#include <QString>

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

} // namespace vorlane
