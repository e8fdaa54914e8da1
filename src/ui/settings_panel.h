#pragma once

#include "model/app_model.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QScrollArea;
class QSlider;
class QVBoxLayout;

namespace vorlane {

// The display settings shown in the top bar's popover: sort order, square fill, RAW+JPEG pairing, tile size
// and four display flags. Every control writes the model (the sort through setSortMode, which re-sorts the
// grid) and shows what the model holds, so a change made elsewhere shows here at once. Main thread.
class SettingsPanel final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinTile = 80;
    static constexpr int kMaxTile = 320;
    static constexpr int kTileStep = 8;

    explicit SettingsPanel(AppModel &model, QWidget *parent = nullptr);

    QSlider *sizeSlider() const { return m_slider; }
    // As tall as its controls, or as available allows (then they scroll).
    void fitHeight(int available);
    QScrollArea *scrollArea() const { return m_scroll; }
    QLabel *sizeLabel() const { return m_sizeLabel; }

private:
    // The thumbnail size's caption, slider and figure.
    void addSizeSlider(QVBoxLayout *column);
    // A caption over a row of exclusive choices that looks like one segmented control.
    QButtonGroup *addSegments(QVBoxLayout *column, const QString &caption, const QStringList &choices);
    QCheckBox *addToggle(QVBoxLayout *column, const QString &label, std::function<bool()> get,
                         std::function<void(bool)> set);
    void showModel();

    AppModel &m_model;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    QButtonGroup *m_sort = nullptr;
    QButtonGroup *m_fill = nullptr;
    QButtonGroup *m_pairing = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_sizeLabel = nullptr;
    QList<std::pair<QCheckBox *, std::function<bool()>>> m_toggles;
};

} // namespace vorlane
