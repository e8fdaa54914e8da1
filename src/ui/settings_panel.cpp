#include "ui/settings_panel.h"

#include "ui/pill_button.h"
#include "ui/theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

namespace vorlane {
namespace {

QLabel *caption(const QString &text, QWidget *parent)
{
    return Theme::plainLabel(text, 11, QFont::Normal, Theme::text(Theme::Tone::Secondary, parent->palette()), parent);
}

QLabel *symbol(const char *name, double pixelSize, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(name), parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Theme::iconFont(pixelSize));
    Theme::setTextColor(label, Theme::text(Theme::Tone::Tertiary, parent->palette()));
    return label;
}

// The well behind a row of segments: a faint rounded fill.
class SegmentWell final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::text(Theme::Tone::Faint, palette()));
        p.drawRoundedRect(QRectF(rect()), 6, 6);
    }
};

} // namespace

SettingsPanel::SettingsPanel(AppModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setAutoFillBackground(true);
    // The controls scroll when the screen is too short for them (1366 x 768 at 150 %).
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget(m_scroll);
    auto *column = new QVBoxLayout(m_content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    m_scroll->setWidget(m_content);
    outer->addWidget(m_scroll);

    auto *title = new QLabel(tr("Display settings"), this);
    title->setTextFormat(Qt::PlainText);
    title->setFont(Theme::uiFont(Theme::points(13), QFont::Bold));
    column->addWidget(title);

    m_sort = addSegments(column, tr("Sort by"), {tr("Name"), tr("Date taken")});
    connect(m_sort, &QButtonGroup::idClicked, this, [this](int id) {
        m_model.listing().setSortMode(id == 0 ? FolderListing::SortMode::Name : FolderListing::SortMode::Date);
    });
    m_fill = addSegments(column, tr("Square tiles"), {tr("Fill (crop)"), tr("Fit (whole)")});
    connect(m_fill, &QButtonGroup::idClicked, this, [this](int id) {
        m_model.settings().setFillMode(id == 0 ? ViewSettings::FillMode::Fill : ViewSettings::FillMode::Fit);
    });
    m_pairing = addSegments(column, tr("RAW+JPG pairs"), {tr("Together"), tr("Apart")});
    connect(m_pairing, &QButtonGroup::idClicked, this, [this](int id) {
        m_model.settings().setViewMode(id == 0 ? ViewSettings::ViewMode::Merged : ViewSettings::ViewMode::Split);
    });

    addSizeSlider(column);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    Theme::setTextColor(divider, Theme::text(Theme::Tone::Quaternary, palette()));
    column->addWidget(divider);

    ViewSettings &m = m_model.settings();
    addToggle(
        column, tr("Show file names"), [&m] { return m.showFilenames(); }, [&m](bool on) { m.setShowFilenames(on); });
    addToggle(
        column, tr("Show the RAW format label (when names are hidden)"), [&m] { return m.showRawLabel(); },
        [&m](bool on) { m.setShowRawLabel(on); });
    addToggle(
        column, tr("Scroll along with the arrow keys"), [&m] { return m.autoScrollOnNav(); },
        [&m](bool on) { m.setAutoScrollOnNav(on); });
    addToggle(
        column, tr("Scroll to a clicked cell"), [&m] { return m.autoScrollOnClick(); },
        [&m](bool on) { m.setAutoScrollOnClick(on); });

    connect(&m_model.settings(), &ViewSettings::changed, this, &SettingsPanel::showModel);
    connect(&m_model.listing(), &FolderListing::sortModeChanged, this, &SettingsPanel::showModel);
    showModel();
    // As wide as the longest control in the interface's language (never scrolled sideways), with room for
    // the scroll bar a short screen brings.
    setFixedWidth(std::max(280, m_content->sizeHint().width() + m_scroll->verticalScrollBar()->sizeHint().width()));
}

void SettingsPanel::addSizeSlider(QVBoxLayout *column)
{
    // Tile size: the slider works in whole steps, so it cannot leave 80…320 or stop between steps of 8.
    auto *sizeGroup = new QVBoxLayout;
    sizeGroup->setSpacing(6);
    auto *sizeHeader = new QHBoxLayout;
    sizeHeader->addWidget(caption(tr("Thumbnail size"), this));
    sizeHeader->addStretch(1);
    m_sizeLabel = caption(QString(), this);
    m_sizeLabel->setFont(Theme::monoFont(Theme::points(11)));
    sizeHeader->addWidget(m_sizeLabel);
    sizeGroup->addLayout(sizeHeader);
    auto *sliderRow = new QHBoxLayout;
    sliderRow->setSpacing(8);
    sliderRow->addWidget(symbol(Theme::Icon::photo, 10, this));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(kMinTile / kTileStep, kMaxTile / kTileStep);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_slider->setFocusPolicy(Qt::NoFocus);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(symbol(Theme::Icon::photo, 14, this));
    sizeGroup->addLayout(sliderRow);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int steps) { m_model.settings().setThumbnailSize(double(steps * kTileStep)); });
    // The grid recounts its columns from its width; one column for a moment lets it start from scratch at
    // both ends of a drag.
    connect(m_slider, &QSlider::sliderPressed, this, [this] { m_model.cursor().setGridColumns(1); });
    connect(m_slider, &QSlider::sliderReleased, this, [this] { m_model.cursor().setGridColumns(1); });
    column->addLayout(sizeGroup);
}

void SettingsPanel::fitHeight(int available)
{
    const int wanted = m_content->sizeHint().height();
    setFixedHeight(std::max(120, std::min(wanted, available)));
}

QButtonGroup *SettingsPanel::addSegments(QVBoxLayout *column, const QString &text, const QStringList &choices)
{
    auto *group = new QVBoxLayout;
    group->setSpacing(6);
    group->addWidget(caption(text, this));
    auto *frame = new SegmentWell(this);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    auto *buttons = new QButtonGroup(this);
    buttons->setExclusive(true);
    for (int i = 0; i < choices.size(); ++i) {
        auto *button = new PillButton(frame);
        button->setText(choices[i]);
        button->setCheckable(true);
        button->setCursor(Qt::ArrowCursor);
        button->setFont(Theme::uiFont(Theme::points(12)));
        button->setPadding(8, 3);
        button->setRadius(5);
        button->setColors(Qt::transparent, Theme::text(Theme::Tone::Primary, palette()),
                          palette().color(QPalette::Base));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        buttons->addButton(button, i);
        row->addWidget(button, 1);
    }
    group->addWidget(frame);
    column->addLayout(group);
    return buttons;
}

QCheckBox *SettingsPanel::addToggle(QVBoxLayout *column, const QString &label, std::function<bool()> get,
                                    std::function<void(bool)> set)
{
    auto *box = new QCheckBox(label, this);
    box->setFont(Theme::uiFont(Theme::points(13)));
    box->setFocusPolicy(Qt::NoFocus);
    connect(box, &QCheckBox::toggled, this, [set = std::move(set)](bool on) { set(on); });
    column->addWidget(box);
    m_toggles.append({box, std::move(get)});
    return box;
}

void SettingsPanel::showModel()
{
    const ViewSettings &settings = m_model.settings();
    m_sort->button(m_model.listing().sortMode() == FolderListing::SortMode::Name ? 0 : 1)->setChecked(true);
    m_fill->button(settings.fillMode() == ViewSettings::FillMode::Fill ? 0 : 1)->setChecked(true);
    m_pairing->button(settings.viewMode() == ViewSettings::ViewMode::Merged ? 0 : 1)->setChecked(true);
    const double size = settings.thumbnailSize();
    if (!m_slider->isSliderDown()) {
        const QSignalBlocker quiet(m_slider);
        m_slider->setValue(int(std::lround(size / kTileStep)));
    }
    m_sizeLabel->setText(QString::number(qint64(size)) + QStringLiteral(" pt"));
    for (const auto &[box, get] : m_toggles) {
        const QSignalBlocker quiet(box);
        box->setChecked(get());
    }
}

} // namespace vorlane
