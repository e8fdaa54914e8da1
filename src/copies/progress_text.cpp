#include "copies/progress_text.h"

#include <QStringList>

namespace vorlane {

QString progressStatusLine(const BsideScheduler::Progress &p)
{
    const QString counts = QString::number(p.completed) + u'/' + QString::number(p.total);
    if (p.isIdle() && p.total >= 1 && p.completed == p.total) {
        QString line = QStringLiteral("已完成 ") + counts;
        if (p.failed >= 1)
            line += QStringLiteral(" · 失败 ") + QString::number(p.failed);
        return line;
    }
    QStringList parts{QStringLiteral("压缩 ") + counts};
    if (p.running >= 1)
        parts << QStringLiteral("进行中 ") + QString::number(p.running);
    if (p.queued >= 1)
        parts << QStringLiteral("排队 ") + QString::number(p.queued);
    if (p.failed >= 1)
        parts << QStringLiteral("失败 ") + QString::number(p.failed);
    if (p.currentName && !p.currentName->isEmpty())
        parts << *p.currentName;
    return parts.join(QStringLiteral(" · "));
}

} // namespace vorlane
