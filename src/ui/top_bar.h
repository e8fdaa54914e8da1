#pragma once

#include "model/app_model.h"

#include <QWidget>

namespace vorlane {

// The strip above the grid: copy progress, breadcrumb, sizes, settings and the discard button.
class TopBar final : public QWidget
{
    Q_OBJECT

public:
    explicit TopBar(AppModel &model, QWidget *parent = nullptr);

private:
    AppModel &m_model;
};

} // namespace vorlane
