#include "ui/cell_painter.h"

#include "core/format_bytes.h"
#include "model/folder_listing.h"

#include "ui/theme.h"

#include <QApplication>
#include <QCache>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStaticText>

#include <cmath>

namespace vorlane::CellPainter {
namespace {

constexpr double kBadgeSymbolPx = 13.0; // 11 pt
constexpr double kBadgeLabelPt = 9.0;

// A file name under its tile: elided in the middle and laid out once per text, font and width, since shaping
// it again on every repaint costs more than the rest of the cell.
void paintLabel(QPainter &p, const QRectF &box, const QString &text, const QFont &font)
{
    static QCache<QString, QStaticText> labels(4096); // main thread only
    const QString key = QString::number(box.width()) + u'|' + font.key() + u'|' + text;
    QStaticText *label = labels.object(key);
    if (!label) {
        label = new QStaticText(QFontMetricsF(font).elidedText(text, Qt::ElideMiddle, box.width()));
        label->setTextFormat(Qt::PlainText);
        label->setPerformanceHint(QStaticText::AggressiveCaching);
        label->prepare(QTransform(), font);
        labels.insert(key, label);
    }
    const QSizeF size = label->size();
    p.setFont(font);
    p.drawStaticText(
        QPointF(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2), *label);
}

struct BadgeStyle
{
    const char *icon;
    QColor colour;
    QString label;
};

BadgeStyle styleOf(Badge b)
{
    switch (b) {
    case Badge::Marked:
        return {Theme::Icon::trash, Theme::accent(), QCoreApplication::translate("vorlane::CellPainter", "Discard")};
    case Badge::Queued:
        return {Theme::Icon::hourglass, Theme::queued(), {}};
    case Badge::Running:
        return {Theme::Icon::sync, Theme::running(), {}};
    case Badge::Completed:
        return {Theme::Icon::check, Theme::done(), {}};
    case Badge::Failed:
        return {Theme::Icon::warning, Theme::failed(), {}};
    case Badge::CopyOfAnother:
        return {Theme::Icon::linkOff, Theme::queued(), {}};
    case Badge::CopyUnknown:
        return {Theme::Icon::help, Theme::queued(), {}};
    case Badge::Undecodable:
        return {Theme::Icon::brokenImage, Theme::failed(),
                QCoreApplication::translate("vorlane::CellPainter", "Can't decode")};
    }
    return {"", Qt::gray, {}};
}

// A thumbnail scaled to its tile and cut to the tile's rounded corners, made once per picture, size and fill
// mode: a repaint then copies pixels instead of resampling through an antialiased clip, which keeps a full
// screen of tiles within a frame while thumbnails are still being made.
QPixmap roundedTile(const QPixmap &image, double size, ViewSettings::FillMode fillMode, qreal dpr)
{
    static QCache<QString, QPixmap> tiles(48 << 20); // bytes; main thread only
    const QString key = QStringLiteral("%1/%2/%3/%4").arg(image.cacheKey()).arg(size).arg(int(fillMode)).arg(dpr);
    if (const QPixmap *tile = tiles.object(key))
        return *tile;
    const int edge = int(std::ceil(size * dpr));
    QPixmap tile(edge, edge);
    tile.fill(Qt::transparent);
    {
        QPainter p(&tile);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF square(0, 0, edge, edge);
        QPainterPath clip;
        clip.addRoundedRect(square, 3 * dpr, 3 * dpr);
        p.setClipPath(clip);
        p.fillRect(square, QApplication::palette().color(QPalette::Base));
        const QSizeF scaled = QSizeF(image.size())
                                  .scaled(square.size(),
                                          fillMode == ViewSettings::FillMode::Fill ? Qt::KeepAspectRatioByExpanding
                                                                                   : Qt::KeepAspectRatio);
        const QRectF target((edge - scaled.width()) / 2, (edge - scaled.height()) / 2, scaled.width(), scaled.height());
        p.drawPixmap(target, image, QRectF(QPointF(0, 0), image.size()));
    }
    tile.setDevicePixelRatio(dpr);
    tiles.insert(key, new QPixmap(tile), qint64(edge) * edge * 4);
    return tile;
}

QSizeF badgeSize(const BadgeStyle &s)
{
    double w = kBadgeSymbolPx + 10;
    if (!s.label.isEmpty())
        w += 2 + QFontMetricsF(Theme::uiFont(kBadgeLabelPt, QFont::Bold)).horizontalAdvance(s.label);
    return {w, kBadgeSymbolPx + 6};
}

void paintBadge(QPainter &p, const QRectF &r, const BadgeStyle &s)
{
    p.save();
    QColor fill = s.colour;
    fill.setAlphaF(0.92f);
    p.setBrush(fill);
    p.setPen(QPen(Theme::onDark(Theme::Tone::Tertiary), 0.5));
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    const QRectF icon(r.left() + 5, r.top() + 3, kBadgeSymbolPx, kBadgeSymbolPx);
    Theme::drawIcon(p, icon, QString::fromLatin1(s.icon), Qt::white, kBadgeSymbolPx);
    if (!s.label.isEmpty()) {
        p.setFont(Theme::uiFont(kBadgeLabelPt, QFont::Bold));
        p.setPen(Qt::white);
        p.drawText(QRectF(icon.right() + 2, r.top(), r.right() - icon.right() - 4, r.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, s.label);
    }
    p.restore();
}

void paintCapsuleText(QPainter &p, const QPointF &topLeft, const QString &text, const QFont &font,
                      const QColor &textColour, const QColor &fill, double padX, double padY)
{
    const QFontMetricsF fm(font);
    const QRectF r(topLeft, QSizeF(fm.horizontalAdvance(text) + 2 * padX, fm.height() + 2 * padY));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setPen(textColour);
    p.setFont(font);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

QSizeF capsuleSize(const QString &text, const QFont &font, double padX, double padY)
{
    const QFontMetricsF fm(font);
    return {fm.horizontalAdvance(text) + 2 * padX, fm.height() + 2 * padY};
}

} // namespace

void paintFolder(QPainter &p, const QPointF &origin, const FolderCell &cell)
{
    const double t = cell.size;
    const QRectF square(origin, QSizeF(t, t));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(square.topLeft(), square.bottomLeft());
    gradient.setColorAt(0, Theme::accent(0.18));
    gradient.setColorAt(1, Theme::accent(0.06));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(square, 8, 8);
    if (cell.isSelected) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Theme::accent(), 3));
        p.drawRoundedRect(square.adjusted(1.5, 1.5, -1.5, -1.5), 6.5, 6.5);
    }
    const QString folderGlyph = QString::fromLatin1(Theme::Icon::folder);
    if (cell.showFilename) {
        Theme::drawIcon(p, square, folderGlyph, Theme::accent(0.85), 0.42 * t * 1.33);
    } else {
        const double iconPx = 0.34 * t * 1.33;
        const QFont nameFont = Theme::uiFont(std::max(0.12 * t, 9.0), QFont::Medium);
        const QFontMetricsF fm(nameFont);
        const double gap = 0.06 * t;
        const double textH = std::min(
            2 * fm.lineSpacing(),
            fm.boundingRect(QRectF(0, 0, t - 12, 1000), Qt::TextWordWrap | Qt::AlignHCenter, cell.folder->name)
                .height());
        const double total = iconPx + gap + textH;
        const double y0 = square.top() + (t - total) / 2;
        Theme::drawIcon(p, QRectF(square.left(), y0, t, iconPx), folderGlyph, Theme::accent(0.85), iconPx);
        p.setFont(nameFont);
        p.setPen(QApplication::palette().color(QPalette::WindowText));
        p.drawText(QRectF(square.left() + 6, y0 + iconPx + gap, t - 12, textH), Qt::AlignHCenter | Qt::TextWordWrap,
                   cell.folder->name);
    }
    if (cell.folder->sizeBytes >= 1) {
        const QString text = formatBytes(cell.folder->sizeBytes);
        const QFont font = Theme::monoFont(std::max(0.09 * t, 8.0), QFont::DemiBold);
        const QSizeF s = capsuleSize(text, font, 5, 2);
        paintCapsuleText(p, QPointF(square.right() - 6 - s.width(), square.bottom() - 6 - s.height()), text, font,
                         Qt::white, Theme::shade(0.45), 5, 2);
    }
    if (cell.showFilename) {
        p.setPen(QApplication::palette().color(QPalette::WindowText));
        paintLabel(p, QRectF(origin.x(), square.bottom() + 4, t, 16), cell.folder->name, Theme::uiFont(8.5));
    }
    p.restore();
}

QString rawLabel(const MediaCell &cell)
{
    if (cell.showFilename || !cell.showRawLabel || cell.pair->isVideo())
        return {};
    const auto raw = cell.pair->rawFile();
    if (!raw)
        return {};
    const QString name = raw->displayName();
    const auto dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toUpper();
}

QList<Badge> badgesFor(const MediaCell &cell)
{
    QList<Badge> badges;
    if (cell.isMarked)
        badges.append(Badge::Marked);
    if (cell.jobStatus) {
        switch (cell.jobStatus->kind()) {
        case BsideJobStatus::Case::Queued:
            badges.append(Badge::Queued);
            break;
        case BsideJobStatus::Case::Running:
            badges.append(Badge::Running);
            break;
        case BsideJobStatus::Case::Completed:
            if (cell.isMarked)
                badges.append(Badge::Completed);
            break;
        case BsideJobStatus::Case::Failed:
            badges.append(Badge::Failed);
            break;
        }
    }
    if (badges.isEmpty() && cell.copyOfAnother)
        badges.append(Badge::CopyOfAnother);
    if (badges.isEmpty() && cell.copyUnknown)
        badges.append(Badge::CopyUnknown);
    if (cell.undecodable && !badges.contains(Badge::Failed))
        badges.append(Badge::Undecodable);
    return badges;
}

QList<QRectF> badgeRects(const QPointF &origin, const MediaCell &cell)
{
    QList<QRectF> rects;
    double y = origin.y() + 4;
    for (Badge b : badgesFor(cell)) {
        const QSizeF s = badgeSize(styleOf(b));
        rects.append(QRectF(QPointF(origin.x() + cell.size - 4 - s.width(), y), s));
        y += s.height() + 4;
    }
    return rects;
}

QString burstCount(const MediaCell::Burst &burst)
{
    return burst.folded ? QString::number(burst.folded) : QStringLiteral("%1/%2").arg(burst.index).arg(burst.size);
}

QString foldedMarked(const MediaCell::Burst &burst)
{
    return QCoreApplication::translate("vorlane::CellPainter", "%1/%2 marked").arg(burst.marked).arg(burst.folded);
}

QString sharpestLabel() { return QCoreApplication::translate("vorlane::CellPainter", "Sharpest"); }

namespace {

// The tray behind the frames of one burst: a tinted rounded band around the tile and its name that runs on
// into the neighbours of the same group in the row, so that a group reads as one at any column count.
void paintBurstTray(QPainter &p, const QPointF &origin, const MediaCell &cell)
{
    if (cell.burst->folded) {
        // A collapsed burst: the cards of its other frames peek out behind the tile, up and to the right.
        const double step = std::min(3.0, cell.spacing / 3);
        p.save();
        for (int card = 2; card >= 1; --card) {
            p.setPen(QPen(Theme::burst(0.9), 1));
            p.setBrush(Theme::burst(card == 2 ? 0.35 : 0.55));
            p.drawRoundedRect(QRectF(origin + QPointF(card * step, -card * step), QSizeF(cell.size, cell.size)), 4, 4);
        }
        p.restore();
        return;
    }
    const double pad = std::min(4.0, cell.spacing / 2);
    const double height = cell.cellHeight > 0 ? cell.cellHeight : cell.size;
    QRectF tray(origin.x() - pad, origin.y() - pad, cell.size + 2 * pad, height + 2 * pad);
    if (cell.burst->joinsLeft)
        tray.setLeft(origin.x() - cell.spacing / 2 - 0.5);
    if (cell.burst->joinsRight)
        tray.setRight(origin.x() + cell.size + cell.spacing / 2 + 0.5);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::burst(0.22));
    QPainterPath path;
    path.addRoundedRect(tray, 6, 6);
    // Square corners where the band goes on into the next frame.
    if (cell.burst->joinsLeft)
        path.addRect(QRectF(tray.left(), tray.top(), tray.width() / 2, tray.height()));
    if (cell.burst->joinsRight)
        path.addRect(QRectF(tray.center().x(), tray.top(), tray.width() / 2, tray.height()));
    path.setFillRule(Qt::WindingFill);
    p.drawPath(path.simplified());
    p.restore();
}

// Bottom left of a burst frame's tile: its place in its burst (a collapsed burst's count, and how many of its
// frames are marked), and the burst's best says so.
void paintBurstBadges(QPainter &p, const QRectF &square, const MediaCell &cell)
{
    const double t = cell.size;
    const QFont countFont = Theme::monoFont(std::clamp(0.055 * t, 7.0, 9.0), QFont::Bold);
    const QString count = burstCount(*cell.burst);
    const QSizeF countSize = capsuleSize(count, countFont, 5, 1.5);
    const QPointF at(square.left() + 5, square.bottom() - 5 - countSize.height());
    if (cell.burst->folded) {
        // The count with a stack of photos before it, and above it how many of the frames are marked.
        const double icon = countSize.height();
        const QRectF pill(at, QSizeF(countSize.width() + icon, countSize.height()));
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::burst(0.92));
        p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
        Theme::drawIcon(p, QRectF(at + QPointF(3, 0), QSizeF(icon, icon)), QString::fromLatin1(Theme::Icon::photoLibrary),
                        Qt::white, icon * 0.8);
        paintCapsuleText(p, at + QPointF(icon, 0), count, countFont, Qt::white, Qt::transparent, 5, 1.5);
        if (cell.burst->marked > 0) {
            const QFont markedFont = Theme::uiFont(std::clamp(0.05 * t, 7.0, 9.0), QFont::Bold);
            const QString marked = foldedMarked(*cell.burst);
            const QSizeF markedSize = capsuleSize(marked, markedFont, 5, 1.5);
            if (markedSize.width() + 10 <= t)
                paintCapsuleText(p, at - QPointF(0, markedSize.height() + 3), marked, markedFont, Qt::white,
                                 Theme::accent(), 5, 1.5);
        }
    } else {
        paintCapsuleText(p, at, count, countFont, Qt::white, Theme::burst(0.92), 5, 1.5);
    }
    if (cell.burst->best) {
        const QFont bestFont = Theme::uiFont(std::clamp(0.05 * t, 7.0, 9.0), QFont::Bold);
        const QSizeF bestSize = capsuleSize(sharpestLabel(), bestFont, 5, 1.5);
        const double countWidth = countSize.width() + (cell.burst->folded ? countSize.height() : 0);
        if (countWidth + bestSize.width() + 14 <= t)
            paintCapsuleText(p, at + QPointF(countWidth + 4, (countSize.height() - bestSize.height()) / 2),
                             sharpestLabel(), bestFont, Qt::white, Theme::done(), 5, 1.5);
    }
}

} // namespace

// The stars and the label at the tile's bottom left, on a dark capsule so they read over any picture, their
// size following the tile's within legible bounds.
void paintDecision(QPainter &p, const QRectF &square, const Decision &decision)
{
    const double pt = std::clamp(square.width() / 16.0, 7.0, 11.0);
    const QFont font = Theme::uiFont(pt, QFont::Bold);
    const QFontMetricsF fm(font);
    const QString stars = starsText(decision);
    const QColor colour = labelColour(decision.label);
    const double dot = colour.isValid() ? fm.height() * 0.7 : 0;
    const double gap = colour.isValid() && !stars.isEmpty() ? 3 : 0;
    const QSizeF size(dot + gap + fm.horizontalAdvance(stars) + 8, fm.height() + 2);
    const QRectF capsule(square.left() + 4, square.bottom() - 4 - size.height(), size.width(), size.height());
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::shade(0.55));
    p.drawRoundedRect(capsule, size.height() / 2, size.height() / 2);
    if (colour.isValid()) {
        p.setBrush(colour);
        p.drawEllipse(QRectF(capsule.left() + 4, capsule.center().y() - dot / 2, dot, dot));
    }
    p.setFont(font);
    p.setPen(decision.rating < 0 ? Theme::onDark(Theme::Tone::Primary) : QColor(255, 214, 10));
    p.drawText(QRectF(capsule.left() + 4 + dot + gap, capsule.top(), fm.horizontalAdvance(stars) + 1, capsule.height()),
               Qt::AlignLeft | Qt::AlignVCenter, stars);
    p.restore();
}

void paintMedia(QPainter &p, const QPointF &origin, const MediaCell &cell)
{
    const double t = cell.size;
    const QRectF square(origin, QSizeF(t, t));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette palette = QApplication::palette();
    if (cell.burst)
        paintBurstTray(p, origin, cell);
    if (!cell.image.isNull()) {
        const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        p.drawPixmap(QPointF(std::round(origin.x()), std::round(origin.y())),
                     roundedTile(cell.image, t, cell.fillMode, dpr));
        if (cell.pair->isVideo()) {
            const double px = std::min(0.22 * t, 34.0) * 1.33;
            const QRectF c(square.center().x() - px / 2, square.center().y() - px / 2, px, px);
            p.setPen(Qt::NoPen);
            p.setBrush(Theme::shade(0.45));
            p.drawEllipse(c.adjusted(px * 0.12, px * 0.12, -px * 0.12, -px * 0.12));
            Theme::drawIcon(p, c, QString::fromLatin1(Theme::Icon::play), Theme::onDark(Theme::Tone::Primary), px);
        }
        const QString raw = rawLabel(cell);
        if (!raw.isEmpty())
            paintCapsuleText(p, square.topLeft() + QPointF(4, 4), raw, Theme::monoFont(7, QFont::Bold),
                             Theme::onDark(Theme::Tone::Primary), Theme::shade(0.35), 4, 2);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(palette.color(QPalette::Button));
        p.drawRoundedRect(square, 3, 3);
        if (cell.loadFailed)
            Theme::drawIcon(p, square, QString::fromLatin1(Theme::Icon::brokenImage),
                            palette.color(QPalette::PlaceholderText), std::max(16.0, t * 0.25));
    }
    if (cell.isSelected) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Theme::accent(), 3));
        p.drawRoundedRect(square.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    }
    const QList<Badge> badges = badgesFor(cell);
    const QList<QRectF> rects = badgeRects(origin, cell);
    for (qsizetype i = 0; i < badges.size(); ++i)
        paintBadge(p, rects[i], styleOf(badges[i]));
    if (cell.burst)
        paintBurstBadges(p, square, cell);
    if (!cell.decision.isEmpty())
        paintDecision(p, square, cell.decision);
    if (cell.showFilename) {
        p.setPen(palette.color(QPalette::PlaceholderText));
        paintLabel(p, QRectF(origin.x(), square.bottom() + 4, t, 16), cell.pair->displayName(), Theme::uiFont(8.5));
    }
    p.restore();
}

QString starsText(const Decision &decision)
{
    if (decision.rating < 0)
        return QStringLiteral("✕");
    return QString(decision.rating, QChar(0x2605));
}

QColor labelColour(ColourLabel label)
{
    switch (label) {
    case ColourLabel::Red: return QColor(255, 69, 58);
    case ColourLabel::Yellow: return QColor(255, 214, 10);
    case ColourLabel::Green: return QColor(48, 209, 88);
    case ColourLabel::Blue: return QColor(10, 132, 255);
    case ColourLabel::Purple: return QColor(191, 90, 242);
    case ColourLabel::None: break;
    }
    return {};
}

QString decisionHtml(const Decision &decision)
{
    QString html;
    if (const QColor colour = labelColour(decision.label); colour.isValid())
        html += QStringLiteral("<span style=\"color:%1\">●</span> ").arg(colour.name());
    if (decision.rating != 0)
        html += QStringLiteral("<span style=\"color:#ffd60a\">%1</span>").arg(starsText(decision));
    return html;
}

QString burstLabel(int index, int size, bool best)
{
    return best ? QCoreApplication::translate("vorlane::CellPainter", "Burst %1/%2 · sharpest").arg(index).arg(size)
                : QCoreApplication::translate("vorlane::CellPainter", "Burst %1/%2").arg(index).arg(size);
}

} // namespace vorlane::CellPainter
