#pragma once

#include "catalogue/bside_path_resolver.h"
#include "copies/atomic_file.h"
#include "copies/copy_maker.h"
#include "model/app_model.h"

#include "testsupport/support.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace vorlane::test {

// Waits (processing events) until the condition holds; false after the timeout.
template<typename F>
bool waitUntil(F condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Opens root, or goes to dir, in the model and waits for its listing.
inline bool openAndWait(AppModel &model, const std::filesystem::path &root)
{
    model.openRoot(root);
    return waitUntil([&] { return !model.listing().isLoading(); });
}

inline bool navigateAndWait(AppModel &model, const std::filesystem::path &dir)
{
    model.navigate(dir);
    return waitUntil([&] { return !model.listing().isLoading(); });
}

inline std::vector<std::string> pairNames(const AppModel &model)
{
    std::vector<std::string> names;
    for (const MediaPair &p : model.listing().pairs())
        names.push_back(p.displayName().toStdString());
    return names;
}

inline QUuid pairIdNamed(const AppModel &model, const QString &name)
{
    for (const MediaPair &p : model.listing().pairs()) {
        if (p.displayName() == name)
            return p.id();
    }
    ADD_FAILURE() << "no cell named " << name.toStdString();
    return {};
}

// The names of the cells the view shows, in their order, joined by spaces.
inline std::string shownNames(const AppModel &model)
{
    std::string names;
    for (const MediaPair &pair : model.shownPairs())
        names += (names.empty() ? "" : " ") + pair.displayName().toStdString();
    return names;
}

// The name of a cell (the cursor's selection, its preview), or "-" for none.
inline std::string nameOf(const AppModel &model, const std::optional<QUuid> &cell)
{
    const auto pair = cell ? model.listing().pair(*cell) : std::nullopt;
    return pair ? pair->displayName().toStdString() : std::string("-");
}

inline std::optional<BsideJobStatus::Case> statusOf(const AppModel &model, const QUuid &id)
{
    const auto status = model.marks().status(id);
    return status ? std::optional(status->kind()) : std::nullopt;
}

// Marks the cell and waits until its copy is made.
inline bool markAndWait(AppModel &model, const QUuid &cell)
{
    model.marks().toggle(cell);
    return waitUntil([&] { return statusOf(model, cell) == BsideJobStatus::Case::Completed; });
}

// The discard button pressed, or Ctrl+Z on a discard, and its run waited for (the new listing too): the
// message it ended with, or "(none)".
inline std::string discardAndWait(AppModel &model)
{
    model.discardOriginals();
    waitUntil([&] { return !model.discard().isTrashing() && !model.listing().isLoading(); });
    return model.discard().lastResult().value_or(QStringLiteral("(none)")).toStdString();
}
inline std::string undoAndWait(AppModel &model)
{
    model.undo();
    waitUntil([&] { return !model.discard().isTrashing() && !model.listing().isLoading(); });
    return model.discard().lastResult().value_or(QStringLiteral("(none)")).toStdString();
}

inline MachineInputs quietMachine()
{
    return MachineInputs{2, [] { return 0.7; }, [] { return 0; }};
}

// Stands in for the encoders where a test needs a job to stay running, ignore its cancellation or fail on
// demand: every job waits until open() (or, unless told to ignore it, its cancellation), then writes a small
// real file at the copy path, or fails with "boom" (Undecodable: as an original no decoder reads fails).
class FakeEncoder
{
public:
    enum class Mode { Obey, IgnoreCancel, Fail, Undecodable };

    std::function<CopyOutcome(const CopyRequest &, std::stop_token)> function()
    {
        return [this](const CopyRequest &request, std::stop_token token) {
            std::unique_lock lock(m_mutex);
            ++m_started;
            m_changed.wait(lock, token, [this] { return m_open; });
            const Mode mode = m_mode;
            CopyOutcome outcome;
            if (mode == Mode::Obey && token.stop_requested()) {
                outcome.result = CopyOutcome::Result::Cancelled;
            } else if (mode == Mode::Fail || mode == Mode::Undecodable) {
                outcome.message = QStringLiteral("boom");
                outcome.undecodable = mode == Mode::Undecodable;
            } else {
                ensureParentDir(request.destination);
                writeFileAtomically(request.destination, "copy");
                outcome.result = CopyOutcome::Result::Completed;
            }
            return outcome;
        };
    }
    void setMode(Mode mode) { m_mode = mode; }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int started() const { return m_started; }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    bool m_open = false;
    std::atomic<int> m_started = 0;
    std::atomic<Mode> m_mode = Mode::Obey;
};

// A temporary folder and a model whose copies the fake encoder makes (each job waits until encoder.open()),
// and whose bursts the analysis given finds.
class ModelTest : public ::testing::Test
{
protected:
    explicit ModelTest(BurstGroups::Analyse analyse = {})
        : m{nullptr, quietMachine(), encoder.function(), std::move(analyse)} {}
    QUuid id(const char *name) const { return pairIdNamed(m, QString::fromUtf8(name)); }
    // The folder of copies beside the folder of originals.
    std::filesystem::path copies() const { return t.root() / (t.root().filename().native() + "_bside"); }

    TempTree t;
    FakeEncoder encoder;
    AppModel m;
};

} // namespace vorlane::test
