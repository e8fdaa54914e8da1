#include "media/ffi/vips_kill_switch.h"

namespace vorlane {

VipsKillSwitch::VipsKillSwitch(VipsImage *image, std::stop_token token)
    : m_token(std::move(token))
{
    if (!m_token.stop_possible())
        return;
    // The caller's handle may drop its reference first (an image replaced by its rendered copy); the
    // connection is undone on a live object only if this holds one of its own.
    m_image = VIPS_IMAGE(g_object_ref(image));
    vips_image_set_progress(m_image, TRUE);
    m_handler = g_signal_connect(m_image, "eval", G_CALLBACK(onEval), this);
}

VipsKillSwitch::~VipsKillSwitch()
{
    if (!m_image)
        return;
    g_signal_handler_disconnect(m_image, m_handler);
    g_object_unref(m_image);
}

void VipsKillSwitch::onEval(VipsImage *image, VipsProgress *, VipsKillSwitch *self)
{
    if (self->m_token.stop_requested()) {
        self->m_fired = true;
        vips_image_set_kill(image, TRUE);
    }
}

} // namespace vorlane
