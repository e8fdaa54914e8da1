#pragma once

#include "model/app_model.h"

#include <QWidget>

namespace vorlane {

// The full-window preview of the pair at previewIndex, laid over the grid; transparent to the mouse while
// the preview is closed.
class QuickLookOverlay final : public QWidget
{
    Q_OBJECT

public:
    explicit QuickLookOverlay(AppModel &model, QWidget *parent = nullptr);

private:
    AppModel &m_model;
};

} // namespace vorlane
