#pragma once

#include "media/burst_features.h"

#include <vector>

namespace vorlane::BurstPick {

// Two frames whose sharpness is within this share of each other are equally sharp: the better exposed wins.
inline constexpr double kTieShare = 0.05;

// The frames of one burst, judged together. The frames are laid over each other by their looks (a hand
// moves the framing between them), and each is scored over the part of the scene they all show, at the
// places where the burst is sharpest: the subject, whichever frame holds it in focus. So the score follows
// blur, not what each frame's crop happens to contain.
struct Verdict
{
    std::vector<double> sharpness; // per frame, comparable within the burst only
    size_t best = 0;
};

// frames: every frame of the burst in order, each with its focus map; steps, when given, the alignment of
// each frame with the next (align() of their looks), else worked out here. The best is the sharpest; among
// frames within kTieShare of it, the best exposed: the nearest the burst's usual exposure (the median) with
// the fewest clipped pixels; among frames exposed alike, the sharpest.
Verdict judge(const std::vector<const BurstFeatures::Features *> &frames,
              const std::vector<BurstFeatures::Alignment> &steps = {});

} // namespace vorlane::BurstPick
