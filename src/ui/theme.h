#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

class QPainter;
class QPalette;
class QRectF;
class QWidget;

namespace vorlane::Theme {

// The application's accent, B72B35: window tint, selection borders, folder tiles, the mark badge.
QColor accent();
QColor accent(double opacity);

// Text and lines on the window take the palette's window text at the strengths the interface uses: full for
// titles, quieter for captions, figures and hints, faint for dividers and tracks.
enum class Tone { Primary, Secondary, Tertiary, Quaternary, Faint };
QColor text(Tone tone, const QPalette &palette);
// The same strengths of white, on the preview's dark backdrop.
QColor onDark(Tone tone);
// Black at an opacity: capsules over pictures, shadows.
QColor shade(double opacity);
// The preview's and compare's backdrop: an opaque neutral grey in every theme, so that nothing behind it
// shows through and a picture's exposure is judged against the same ground.
QColor stage();

// The states a cell's copy shows: waiting, running, done, failed (the orange also marks the progress bar
// when a copy failed).
QColor queued();
QColor running();
QColor done();
QColor failed();
// The frames of one burst: their tray and their count.
QColor burst(double opacity = 1.0);

// Gives a label or a plain button its text colour through its palette.
void setTextColor(QWidget *widget, const QColor &color);

// The interface font (Noto Sans CJK SC, so Chinese never falls back to the Japanese face) at a point size.
QFont uiFont(double pointSize, QFont::Weight weight = QFont::Normal);
// Sizes in the layout's points as Qt font points (3/4 of them: a Qt point is 4/3 of a pixel).
constexpr double points(double layoutPoints) { return layoutPoints * 0.75; }

// A label of plain text (a file name is never read as markup) in the interface font at a size in layout points.
QLabel *plainLabel(const QString &text, double layoutPoints, QFont::Weight weight, const QColor &color,
                   QWidget *parent);

// Text that may hold a file name, made safe for a tooltip: Qt reads a tooltip as rich text when it looks like
// markup, so it is escaped and wrapped to always be read as HTML (line breaks kept).
QString plainToolTip(const QString &text);
QFont monoFont(double pointSize, QFont::Weight weight = QFont::Normal);

// Symbols are glyphs of the Material Icons font, named by their ligature ("delete", "folder", ...).
QFont iconFont(double pixelSize);
void drawIcon(QPainter &painter, const QRectF &rect, const QString &ligature, const QColor &color, double pixelSize);

// Symbol names used across the interface.
namespace Icon {
inline const char *const trash = "delete";
inline const char *const hourglass = "hourglass_empty";
inline const char *const sync = "sync";
inline const char *const check = "check_circle";
inline const char *const warning = "warning";
inline const char *const play = "play_circle";
inline const char *const folder = "folder";
inline const char *const tune = "tune";
inline const char *const chevron = "chevron_right";
inline const char *const photo = "photo";
inline const char *const brokenImage = "broken_image";
inline const char *const photoLibrary = "photo_library";
inline const char *const linkOff = "link_off";
inline const char *const help = "help";
inline const char *const createFolder = "create_new_folder";
inline const char *const filter = "filter_list";
} // namespace Icon

} // namespace vorlane::Theme
