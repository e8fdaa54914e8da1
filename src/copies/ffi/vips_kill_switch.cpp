#include "copies/ffi/vips_kill_switch.h"

namespace vorlane {

VipsKillSwitch::VipsKillSwitch(VipsImage *image, std::stop_token token)
    : m_image(image)
    , m_token(std::move(token))
{
    if (!m_token.stop_possible())
        return;
    vips_image_set_progress(m_image, TRUE);
    m_handler = g_signal_connect(m_image, "eval", G_CALLBACK(onEval), this);
}

VipsKillSwitch::~VipsKillSwitch()
{
    if (m_handler != 0)
        g_signal_handler_disconnect(m_image, m_handler);
}

void VipsKillSwitch::onEval(VipsImage *image, VipsProgress *, VipsKillSwitch *self)
{
    if (self->m_token.stop_requested()) {
        self->m_fired = true;
        vips_image_set_kill(image, TRUE);
    }
}

} // namespace vorlane
