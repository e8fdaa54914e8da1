#include "ui/top_bar.h"

namespace vorlane {

TopBar::TopBar(AppModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setFixedHeight(60);
}

} // namespace vorlane
