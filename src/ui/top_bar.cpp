#include "ui/top_bar.h"

#include "core/format_bytes.h"
#include "catalogue/media_item.h"
#include "copies/progress_text.h"
#include "ui/filter_menu.h"
#include "ui/pill_button.h"

#include <QMenu>
#include "ui/settings_panel.h"
#include "ui/theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

#include <tuple>

namespace vorlane {
namespace {


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

    row->addWidget(makeViewSwitch());
    addFiguresAndButtons(row);
    followTheModel();
    showProgress(m_model.marks().progress());
    rebuildBreadcrumb();
    showCapacity();
    showDiscard();
    showViews();
}

PillButton *TopBar::iconButton(QWidget *parent, const QString &name, const char *icon, const QString &tip) const
{
    auto *button = new PillButton(parent);
    button->setObjectName(name);
    button->setSymbol(QString::fromLatin1(icon), 16);
    button->setFixedSize(28, 24);
    button->setRadius(6);
    button->setCheckable(true);
    button->setColors(Qt::transparent, Theme::text(Theme::Tone::Primary, palette()), Theme::accent(0.22));
    button->setToolTip(tip);
    return button;
}

QWidget *TopBar::makeViewSwitch()
{
    // The views: one segment each, the shown one filled.
    auto *views = new QWidget(this);
    auto *viewRow = new QHBoxLayout(views);
    viewRow->setContentsMargins(0, 0, 0, 0);
    viewRow->setSpacing(2);
    using FolderView = ViewSettings::FolderView;
    for (const auto &[which, label, tip] :
         {std::tuple{FolderView::All, tr("All"), tr("Every cell of the folder (V switches the view)")},
          std::tuple{FolderView::Unmarked, tr("Unmarked"), tr("Only the cells not marked: the next pass (V)")},
          std::tuple{FolderView::Marked, tr("Marked"), tr("Only the marked cells and their copies: the review before discarding (V)")}}) {
        auto *button = new PillButton(views);
        button->setText(label);
        button->setToolTip(tip);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(Theme::uiFont(Theme::points(12), QFont::Medium));
        button->setPadding(9, 4);
        button->setRadius(6);
        button->setColors(Qt::transparent, Theme::text(Theme::Tone::Primary, palette()), Theme::accent(0.22));
        connect(button, &PillButton::clicked, this, [this, which = which] {
            m_model.settings().setFolderView(which);
            showViews(); // a click on the shown view leaves it shown
        });
        viewRow->addWidget(button);
        m_views.append(button);
    }
    // The decision filters over the view: filled while any is set.
    m_filter = iconButton(views, QStringLiteral("filter"), Theme::Icon::filter,
                          tr("Filter by rating, label, camera or lens"));
    m_filter->setFocusPolicy(Qt::NoFocus);
    m_filterMenu = new QMenu(m_filter);
    FilterMenu::attach(m_filterMenu, m_model);
    connect(m_filter, &PillButton::clicked, this, [this] {
        m_filter->setChecked(!m_model.filter().isEmpty());
        m_filterMenu->popup(m_filter->mapToGlobal(QPoint(0, m_filter->height())));
    });
    connect(&m_model, &AppModel::shownChanged, m_filter, [this] { m_filter->setChecked(!m_model.filter().isEmpty()); });
    viewRow->addWidget(m_filter);
    return views;
}

void TopBar::addFiguresAndButtons(QHBoxLayout *row)
{
    m_capacity = new QLabel(this);
    m_capacity->setTextFormat(Qt::PlainText);
    m_capacity->setObjectName(QStringLiteral("capacity"));
    m_capacity->setFont(Theme::monoFont(Theme::points(16), QFont::Bold));
    Theme::setTextColor(m_capacity, Theme::text(Theme::Tone::Secondary, palette()));
    m_capacity->setToolTip(tr("This folder / the opened folder / free on the disk"));
    row->addWidget(m_capacity);

    m_settingsButton = iconButton(this, QStringLiteral("settings"), Theme::Icon::tune, tr("Display settings"));
    m_settingsButton->setCursor(Qt::ArrowCursor);
    connect(m_settingsButton, &PillButton::clicked, this, &TopBar::toggleSettings);
    row->addWidget(m_settingsButton);

    m_discard = new PillButton(this);
    m_discard->setObjectName(QStringLiteral("discard"));
    m_discard->setText(tr("Discard originals"));
    m_discard->setFont(Theme::uiFont(Theme::points(13), QFont::Medium));
    m_discard->setSymbol(QString::fromLatin1(Theme::Icon::trash), 15);
    // While a discard checks the originals against their copies, the button shows how far it is and stops it.
    connect(m_discard, &PillButton::clicked, this, [this] {
        if (m_model.discard().isTrashing())
            m_model.discard().cancel();
        else
            m_model.discardOriginals();
    });
    row->addWidget(m_discard);
}

void TopBar::followTheModel()
{
    const CopyMarks &marks = m_model.marks();
    connect(&marks, &CopyMarks::progressChanged, this, [this] { showProgress(m_model.marks().progress()); });
    connect(&marks, &CopyMarks::marksChanged, this, &TopBar::showDiscard);
    connect(&marks, &CopyMarks::marksChanged, this, &TopBar::showViews);
    connect(&m_model.settings(), &ViewSettings::changed, this, &TopBar::showViews);
    connect(&m_model.listing(), &FolderListing::contentsChanged, this, &TopBar::showViews);
    connect(&m_model.discard(), &DiscardRun::trashingChanged, this, &TopBar::showDiscard);
    connect(&m_model.discard(), &DiscardRun::progressChanged, this, &TopBar::showDiscard);
    connect(&m_model.listing(), &FolderListing::contentsChanged, this, &TopBar::showDiscard);
    connect(&m_model.listing(), &FolderListing::locationChanged, this, &TopBar::rebuildBreadcrumb);
    connect(&m_model.listing(), &FolderListing::sizesChanged, this, &TopBar::showCapacity);
}

void TopBar::showViews()
{
    int marked = 0;
    for (const MediaPair &pair : m_model.listing().pairs())
        marked += m_model.marks().marked().contains(pair.id()) ? 1 : 0;
    const int all = int(m_model.listing().pairs().size());
    const int counts[] = {all, all - marked, marked};
    const int shown = int(m_model.settings().folderView());
    for (int i = 0; i < m_views.size(); ++i) {
        m_views[i]->setChecked(i == shown);
        m_views[i]->setCount(i == 0 ? std::nullopt : std::optional<int>(counts[i]));
    }
}

void TopBar::showProgress(const CopyMarks::Progress &progress)
{
    m_statusText = progressStatusLine(progress);
    m_barFraction = progress.total >= 1 ? std::clamp(progress.fraction(), 0.0, 1.0) : 0.0;
    m_barFill = progress.total >= 1 ? (progress.failed >= 1 ? Theme::failed() : Theme::accent()) : QColor();
    update(0, 0, width(), kStripHeight);
}

void TopBar::rebuildBreadcrumb()
{
    while (QLayoutItem *item = m_breadcrumbRow->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QList<std::filesystem::path> &entries = m_model.listing().breadcrumb();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const bool current = i == entries.size() - 1;
        if (i > 0) {
            auto *chevron = new QLabel(QString::fromLatin1(Theme::Icon::chevron), m_breadcrumb);
            chevron->setTextFormat(Qt::PlainText);
            chevron->setFont(Theme::iconFont(13));
            Theme::setTextColor(chevron, Theme::text(Theme::Tone::Tertiary, palette()));
            m_breadcrumbRow->addWidget(chevron);
        }
        const QString name = directoryName(entries[i]);
        auto *button = new QToolButton(m_breadcrumb);
        button->setText(name);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(Theme::uiFont(Theme::points(13), current ? QFont::DemiBold : QFont::Normal));
        Theme::setTextColor(button, Theme::text(current ? Theme::Tone::Primary : Theme::Tone::Secondary, palette()));
        button->setAccessibleName(tr("Go to %1").arg(name));
        button->setToolTip(Theme::plainToolTip(displayPath(entries[i])));
        const std::filesystem::path target = entries[i];
        connect(button, &QToolButton::clicked, this, [this, target] { m_model.navigate(target); });
        m_breadcrumbRow->addWidget(button);
    }
    m_breadcrumbRow->addStretch(1);
}

void TopBar::showCapacity()
{
    const FolderListing &listing = m_model.listing();
    m_capacity->setText(formatBytes(listing.currentTreeBytes()) + QStringLiteral(" / ")
                        + formatBytes(listing.rootTreeBytes()) + QStringLiteral(" / ")
                        + formatBytes(listing.freeSpaceBytes()));
}

void TopBar::showDiscard()
{
    const int n = m_model.discard().discardableCount();
    const int broken = int(m_model.discard().brokenOriginals().size());
    if (m_model.discard().isTrashing()) {
        const auto [checked, total] = m_model.discard().progress();
        const int percent = total > 0 ? int(std::min<int64_t>(100, checked * 100 / total)) : 0;
        m_discard->setText(tr("Checking %1% · Stop").arg(percent));
        m_discard->setToolTip(tr("Every original is read and checked against its copy before it moves; click to stop"));
        m_discard->setEnabled(true);
        m_discard->setColors(Theme::accent(), Qt::white);
        return;
    }
    m_discard->setText(tr("Discard originals"));
    m_discard->setEnabled(n + broken >= 1);
    QString tip = n >= 1 ? tr("Move the originals of %n marked cell(s) whose copies are made to the Trash", nullptr, n)
                         : tr("No originals to discard (mark with D and let the copies finish first)");
    if (broken >= 1)
        tip += u'\n' + tr("%n marked cell(s) cannot be decoded and have no copy: you will be asked about them", nullptr, broken);
    m_discard->setToolTip(tip);
    m_discard->setCount(n + broken >= 1 ? std::optional<int>(n + broken) : std::nullopt);
    // Dimmed only when there is nothing to discard; while a discard runs it keeps its full colour.
    m_discard->setColors(n + broken >= 1 ? Theme::accent() : Theme::accent(0.35), Qt::white);
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
    const QPoint below
        = m_settingsButton->mapToGlobal(QPoint(m_settingsButton->width() / 2, m_settingsButton->height() + 6));
    // On a short screen the popover ends above the screen's bottom edge and its controls scroll.
    const QScreen *screen = m_settingsButton->screen();
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    m_panel->fitHeight(free.bottom() - below.y() - 8);
    const int x = std::clamp(below.x() - m_panel->width() / 2, free.left() + 4,
                             std::max(free.left() + 4, free.right() - m_panel->width() - 4));
    m_panel->move(x, below.y());
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
    const QFont font = Theme::uiFont(Theme::points(11));
    p.setFont(font);
    p.setPen(Theme::text(Theme::Tone::Secondary, palette()));
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(font).elidedText(m_statusText, Qt::ElideMiddle, textRect.width()));
    const QRectF bar(14, kStripHeight - 5, width() - 28, 2);
    p.fillRect(bar, Theme::text(Theme::Tone::Faint, palette()));
    if (m_barFill.isValid() && m_barFraction > 0)
        p.fillRect(QRectF(bar.left(), bar.top(), bar.width() * m_barFraction, bar.height()), m_barFill);
}

} // namespace vorlane
