#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QRectF;

namespace vorlane::Theme {

// The application's accent, B72B35: window tint, selection borders, folder tiles, the mark badge.
QColor accent();
QColor accent(double opacity);

// The interface font (Noto Sans CJK SC, so Chinese never falls back to the Japanese face) at a point size.
QFont uiFont(double pointSize, QFont::Weight weight = QFont::Normal);
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
inline const char *const createFolder = "create_new_folder";
} // namespace Icon

} // namespace vorlane::Theme
