#pragma once

#include "copies/atomic_file.h"
#include "catalogue/bside_path_resolver.h"
#include "copies/copy_maker.h"

#include <condition_variable>
#include <mutex>

namespace vorlane::test {

// Stands in for the encoders where a test needs a job to stay running, ignore its cancellation or fail
// on demand. Writes a small real file at the copy path when it completes.
class FakeEncoder
{
public:
    enum class Mode { Obey, IgnoreCancel, Fail };

    CopyMarks::CopyFunction function()
    {
        return [this](const CopyRequest &request, std::stop_token token) {
            std::unique_lock lock(m_mutex);
            ++m_started;
            m_changed.notify_all();
            m_changed.wait(lock, token, [this] { return m_open; });
            CopyOutcome outcome;
            if (m_mode == Mode::Obey && token.stop_requested()) {
                outcome.result = CopyOutcome::Result::Cancelled;
                return outcome;
            }
            if (m_mode == Mode::Fail) {
                outcome.message = QStringLiteral("boom");
                return outcome;
            }
            BsidePathResolver::ensureParentDir(request.destination);
            writeFileAtomically(request.destination, "copy");
            outcome.result = CopyOutcome::Result::Completed;
            return outcome;
        };
    }
    void setMode(Mode mode)
    {
        std::lock_guard lock(m_mutex);
        m_mode = mode;
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int started()
    {
        std::lock_guard lock(m_mutex);
        return m_started;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    bool m_open = false;
    int m_started = 0;
    Mode m_mode = Mode::Obey;
};

} // namespace vorlane::test
