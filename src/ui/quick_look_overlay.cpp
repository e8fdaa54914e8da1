#include "ui/quick_look_overlay.h"

namespace vorlane {

QuickLookOverlay::QuickLookOverlay(AppModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

} // namespace vorlane
