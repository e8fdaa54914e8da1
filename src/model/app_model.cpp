#include "model/app_model.h"

#include "model/main_thread.h"

#include <QHash>

namespace vorlane {

size_t qHash(const GridSelection &s, size_t seed) { return qHashMulti(seed, int(s.kind), s.id); }

AppModel::AppModel(QObject *parent, MachineInputs machine, CopyFunction copy)
    : QObject(parent)
    , m_copy(std::move(copy))
    , m_scheduler(std::make_unique<BsideScheduler>(std::move(machine)))
{
    m_listingPool.setObjectName(QStringLiteral("listing"));
    m_listingPool.setMaxThreadCount(2);
    m_discardPool.setObjectName(QStringLiteral("discard"));
    m_discardPool.setMaxThreadCount(1);
    startProgressObservation();
}

AppModel::~AppModel()
{
    // Stop and join the copy work first: it posts back to this object until the scheduler is gone.
    m_scheduler.reset();
}

void AppModel::startProgressObservation()
{
    const QPointer<AppModel> self(this);
    m_scheduler->observeProgress([self](const BsideScheduler::Progress &progress) {
        postToMain(self, [progress](AppModel &model) {
            model.m_lastSnapshot = progress;
            model.publishFailures(model.m_failedPairIds);
        });
    });
}

void AppModel::setViewMode(ViewMode v) { set(m_viewMode, v, Field::ViewMode); }
void AppModel::setFillMode(FillMode v) { set(m_fillMode, v, Field::FillMode); }
void AppModel::setShowFilenames(bool v) { set(m_showFilenames, v, Field::ShowFilenames); }
void AppModel::setShowRawLabel(bool v) { set(m_showRawLabel, v, Field::ShowRawLabel); }
void AppModel::setAutoScrollOnNav(bool v) { set(m_autoScrollOnNav, v, Field::AutoScrollOnNav); }
void AppModel::setAutoScrollOnClick(bool v) { set(m_autoScrollOnClick, v, Field::AutoScrollOnClick); }
void AppModel::setThumbnailSize(double v) { set(m_thumbnailSize, v, Field::ThumbnailSize); }
void AppModel::setGridColumns(int v) { set(m_gridColumns, v, Field::GridColumns); }
void AppModel::clearLastTrashResult() { set(m_lastTrashResult, std::optional<QString>(), Field::LastTrashResult); }

void AppModel::selectByClick(const GridSelection &s)
{
    // The flag first: a view reacting to the new selection reads how it was made.
    set(m_lastSelectionByKeyboard, false, Field::LastSelectionByKeyboard);
    setSelection(s);
}

QString AppModel::formatBytes(int64_t bytes)
{
    struct Unit
    {
        const char *name;
        int64_t divisor;
    };
    static constexpr Unit units[] = {{"T", int64_t(1) << 40}, {"G", int64_t(1) << 30}, {"M", int64_t(1) << 20}, {"K", 1024}};
    for (const Unit &u : units) {
        if (bytes < u.divisor)
            continue;
        const double v = double(bytes) / double(u.divisor);
        if (v < 10)
            return QString::number(v, 'f', 1) + QLatin1StringView(u.name);
        return QString::number(std::llround(v)) + QLatin1StringView(u.name);
    }
    return QString::number(bytes) + u'B';
}

} // namespace vorlane
