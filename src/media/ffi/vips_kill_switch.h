#pragma once

#include <vips/vips8>

#include <stop_token>

namespace vorlane {

// Connects a stop token to the evaluation of one vips image: while this object lives, each progress tick
// of a computation of that image checks the token and, once stop is requested, kills the computation
// (the pending vips call then fails). Holds a reference to the image for as long as it is connected.
class VipsKillSwitch final
{
public:
    VipsKillSwitch(VipsImage *image, std::stop_token token);
    ~VipsKillSwitch();

    VipsKillSwitch(const VipsKillSwitch &) = delete;
    VipsKillSwitch &operator=(const VipsKillSwitch &) = delete;

    bool fired() const { return m_fired; }

private:
    static void onEval(VipsImage *image, VipsProgress *progress, VipsKillSwitch *self);

    VipsImage *m_image = nullptr;
    std::stop_token m_token;
    gulong m_handler = 0;
    bool m_fired = false;
};

} // namespace vorlane
