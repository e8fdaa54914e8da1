#include "ui/top_bar.h"

#include "catalogue/media_item.h"
#include "copies/progress_text.h"
#include "ui/settings_panel.h"
#include "ui/theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace vorlane {
namespace {

// Sizes below are in the layout's points; Qt's font points are 4/3 of a pixel.
double pt(double points) { return points * 0.75; }

const QColor kOrange(255, 149, 0);

QString rgba(const QColor &c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QString directoryName(const std::filesystem::path &dir)
{
    const std::filesystem::path name = dir.filename();
    return name.empty() ? displayPath(dir) : displayPath(name);
}

} // namespace

TopBar::TopBar(AppModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, kStripHeight + 8, 14, 8);
    row->setSpacing(12);

    m_breadcrumb = new QWidget(this);
    m_breadcrumbRow = new QHBoxLayout(m_breadcrumb);
    m_breadcrumbRow->setContentsMargins(0, 0, 0, 0);
    m_breadcrumbRow->setSpacing(2);
    // A deep path gives way to the figures and buttons rather than pushing them out of the window.
    m_breadcrumb->setMinimumWidth(40);
    m_breadcrumb->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_breadcrumb, 1);
    row->addSpacing(8);

    m_capacity = new QLabel(this);
    m_capacity->setObjectName(QStringLiteral("capacity"));
    m_capacity->setFont(Theme::monoFont(pt(16), QFont::Bold));
    m_capacity->setStyleSheet(QStringLiteral("color: rgba(0,0,0,128);"));
    m_capacity->setToolTip(QStringLiteral("当前目录 / 根目录 / 磁盘可用空间"));
    row->addWidget(m_capacity);

    m_settingsButton = new QToolButton(this);
    m_settingsButton->setObjectName(QStringLiteral("settings"));
    m_settingsButton->setText(QString::fromLatin1(Theme::Icon::tune));
    m_settingsButton->setFont(Theme::iconFont(16));
    m_settingsButton->setFixedSize(28, 24);
    m_settingsButton->setCheckable(true);
    m_settingsButton->setFocusPolicy(Qt::NoFocus);
    m_settingsButton->setToolTip(QStringLiteral("显示设置"));
    m_settingsButton->setStyleSheet(
        QStringLiteral("QToolButton { border: none; border-radius: 6px; background: transparent; color: #1d1d1f; }"
                       "QToolButton:checked { background: %1; }")
            .arg(rgba(Theme::accent(0.2))));
    connect(m_settingsButton, &QToolButton::clicked, this, &TopBar::toggleSettings);
    row->addWidget(m_settingsButton);

    m_discard = new QPushButton(this);
    m_discard->setObjectName(QStringLiteral("discard"));
    m_discard->setFocusPolicy(Qt::NoFocus);
    m_discard->setCursor(Qt::PointingHandCursor);
    auto *label = new QHBoxLayout(m_discard);
    label->setContentsMargins(12, 6, 12, 6);
    label->setSpacing(5);
    label->setSizeConstraint(QLayout::SetFixedSize);
    auto *icon = new QLabel(QString::fromLatin1(Theme::Icon::trash), m_discard);
    icon->setFont(Theme::iconFont(15));
    auto *text = new QLabel(QStringLiteral("丢弃原片"), m_discard);
    text->setFont(Theme::uiFont(pt(13), QFont::Medium));
    m_discardCount = new QLabel(m_discard);
    m_discardCount->setObjectName(QStringLiteral("count"));
    m_discardCount->setFont(Theme::uiFont(pt(11), QFont::Bold));
    m_discardCount->setAlignment(Qt::AlignCenter);
    for (QLabel *part : {icon, text, m_discardCount}) {
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->addWidget(part, 0, Qt::AlignVCenter);
    }
    connect(m_discard, &QPushButton::clicked, &m_model, &AppModel::discardOriginals);
    row->addWidget(m_discard);

    const CopyMarks &marks = m_model.marks();
    connect(&marks, &CopyMarks::progressChanged, this, [this] { showProgress(m_model.marks().progress()); });
    connect(&marks, &CopyMarks::marksChanged, this, &TopBar::showDiscard);
    connect(&m_model.discard(), &DiscardRun::trashingChanged, this, &TopBar::showDiscard);
    connect(&m_model.listing(), &FolderListing::contentsChanged, this, &TopBar::showDiscard);
    connect(&m_model.listing(), &FolderListing::locationChanged, this, &TopBar::rebuildBreadcrumb);
    connect(&m_model.listing(), &FolderListing::sizesChanged, this, &TopBar::showCapacity);
    showProgress(marks.progress());
    rebuildBreadcrumb();
    showCapacity();
    showDiscard();
}

void TopBar::showProgress(const BsideScheduler::Progress &progress)
{
    m_statusText = progressStatusLine(progress);
    m_barFraction = progress.total >= 1 ? std::clamp(progress.fraction(), 0.0, 1.0) : 0.0;
    m_barFill = progress.total >= 1 ? (progress.failed >= 1 ? kOrange : Theme::accent()) : QColor();
    update(0, 0, width(), kStripHeight);
}

void TopBar::rebuildBreadcrumb()
{
    while (QLayoutItem *item = m_breadcrumbRow->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_crumbs.clear();
    const QList<std::filesystem::path> &entries = m_model.listing().breadcrumb();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const bool current = i == entries.size() - 1;
        if (i > 0) {
            auto *chevron = new QLabel(QString::fromLatin1(Theme::Icon::chevron), m_breadcrumb);
            chevron->setFont(Theme::iconFont(13));
            chevron->setStyleSheet(QStringLiteral("color: rgba(0,0,0,70);"));
            m_breadcrumbRow->addWidget(chevron);
        }
        const QString name = directoryName(entries[i]);
        auto *button = new QToolButton(m_breadcrumb);
        button->setText(name);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(Theme::uiFont(pt(13), current ? QFont::DemiBold : QFont::Normal));
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 1px 2px; color: %1; }"
                                             "QToolButton:hover { color: %2; }")
                                  .arg(current ? QStringLiteral("#1d1d1f") : QStringLiteral("rgba(0,0,0,128)"),
                                       rgba(Theme::accent())));
        button->setAccessibleName(QStringLiteral("进入 ") + name);
        button->setToolTip(displayPath(entries[i]));
        const std::filesystem::path target = entries[i];
        connect(button, &QToolButton::clicked, this, [this, target] { m_model.navigate(target); });
        m_breadcrumbRow->addWidget(button);
        m_crumbs.append(button);
    }
    m_breadcrumbRow->addStretch(1);
}

void TopBar::showCapacity()
{
    const FolderListing &listing = m_model.listing();
    m_capacity->setText(formatBytes(listing.currentDirBytes()) + QStringLiteral(" / ")
                        + formatBytes(listing.rootDirBytes()) + QStringLiteral(" / ")
                        + formatBytes(listing.freeSpaceBytes()));
}

void TopBar::showDiscard()
{
    const int n = m_model.discard().discardableCount();
    m_discard->setEnabled(n >= 1 && !m_model.discard().isTrashing());
    m_discard->setToolTip(n >= 1 ? QStringLiteral("将 %1 张已生成副本的原片移到废纸篓").arg(n)
                                 : QStringLiteral("没有可丢弃的原片（需先标记 D 并完成压缩）"));
    m_discardCount->setVisible(n >= 1);
    m_discardCount->setText(QString::number(n));
    // Dimmed only when there is nothing to discard; while a discard runs it keeps its full colour.
    const QColor fill = n >= 1 ? Theme::accent() : Theme::accent(0.35);
    m_discard->setStyleSheet(
        QStringLiteral("QPushButton#discard { border: none; border-radius: 8px; background: %1; }"
                       "QPushButton#discard QLabel { color: white; background: transparent; }"
                       "QPushButton#discard QLabel#count { background: rgba(255,255,255,64); border-radius: 8px;"
                       " padding: 0px 6px; min-height: 16px; }")
            .arg(rgba(fill)));
}

void TopBar::toggleSettings()
{
    if (m_panel) {
        m_panel->close();
        return;
    }
    m_panel = new SettingsPanel(m_model, this);
    m_panel->setWindowFlag(Qt::Popup);
    m_panel->setAttribute(Qt::WA_DeleteOnClose);
    // A click on the settings button that closes the popover must not reopen it at once.
    m_panel->setAttribute(Qt::WA_NoMouseReplay);
    m_panel->installEventFilter(this);
    m_panel->adjustSize();
    const QPoint below = m_settingsButton->mapToGlobal(QPoint(m_settingsButton->width() / 2, m_settingsButton->height() + 6));
    m_panel->move(below.x() - m_panel->width() / 2, below.y());
    m_settingsButton->setChecked(true);
    m_panel->show();
}

bool TopBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_panel && event->type() == QEvent::Hide) {
        m_settingsButton->setChecked(false);
        if (m_panel->testAttribute(Qt::WA_DeleteOnClose))
            m_panel->deleteLater();
        m_panel = nullptr;
    }
    return QWidget::eventFilter(watched, event);
}

void TopBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor window = palette().color(QPalette::Window);
    p.fillRect(QRect(0, 0, width(), kStripHeight), window);
    p.fillRect(QRect(0, kStripHeight, width(), height() - kStripHeight), window.lighter(103));

    // Status line (padded 14 left and right, 5 above), then the 2-pixel bar 3 above the strip's bottom.
    const QRect textRect(14, 4, width() - 28, 13);
    const QFont font = Theme::uiFont(pt(11));
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 128));
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(font).elidedText(m_statusText, Qt::ElideMiddle, textRect.width()));
    const QRectF bar(14, kStripHeight - 5, width() - 28, 2);
    p.fillRect(bar, QColor(0, 0, 0, 31));
    if (m_barFill.isValid() && m_barFraction > 0)
        p.fillRect(QRectF(bar.left(), bar.top(), bar.width() * m_barFraction, bar.height()), m_barFill);
}

} // namespace vorlane
