#include "copies/progress_text.h"

#include <QCoreApplication>

#include <QStringList>

namespace vorlane {

QString progressStatusLine(const BsideScheduler::Progress &p)
{
    const QString counts = QString::number(p.completed) + u'/' + QString::number(p.total);
    if (p.isIdle() && p.total >= 1 && p.completed == p.total) {
        QString line = QCoreApplication::translate("vorlane::ProgressText", "已完成 ") + counts;
        if (p.failed >= 1)
            line += QCoreApplication::translate("vorlane::ProgressText", " · 失败 ") + QString::number(p.failed);
        return line;
    }
    QStringList parts{QCoreApplication::translate("vorlane::ProgressText", "压缩 ") + counts};
    if (p.running >= 1)
        parts << QCoreApplication::translate("vorlane::ProgressText", "进行中 ") + QString::number(p.running);
    if (p.queued >= 1)
        parts << QCoreApplication::translate("vorlane::ProgressText", "排队 ") + QString::number(p.queued);
    if (p.failed >= 1)
        parts << QCoreApplication::translate("vorlane::ProgressText", "失败 ") + QString::number(p.failed);
    if (p.currentName && !p.currentName->isEmpty())
        parts << *p.currentName;
    return parts.join(QStringLiteral(" · "));
}

} // namespace vorlane
