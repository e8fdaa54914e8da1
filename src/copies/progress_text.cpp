#include "copies/progress_text.h"

#include <QCoreApplication>

#include <QStringList>

namespace vorlane {

QString progressStatusLine(const BsideScheduler::Progress &p)
{
    const QString counts = QString::number(p.completed) + u'/' + QString::number(p.total);
    const auto text = [](const char *source) { return QCoreApplication::translate("vorlane::ProgressText", source); };
    if (p.isIdle() && p.total >= 1 && p.completed == p.total) {
        if (p.failed >= 1)
            return text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "Done %1 · failed %2")).arg(counts).arg(p.failed);
        return text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "Done %1")).arg(counts);
    }
    QStringList parts{text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "Copies %1")).arg(counts)};
    if (p.running >= 1)
        parts << text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "running %1")).arg(p.running);
    if (p.queued >= 1)
        parts << text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "queued %1")).arg(p.queued);
    if (p.failed >= 1)
        parts << text(QT_TRANSLATE_NOOP("vorlane::ProgressText", "failed %1")).arg(p.failed);
    if (p.currentName && !p.currentName->isEmpty())
        parts << *p.currentName;
    return parts.join(QStringLiteral(" · "));
}

} // namespace vorlane
