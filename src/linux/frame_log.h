// One line on standard error for every frame a display host shows (ROSES_LOG_FRAMES=1), with
// the scale it was drawn at and the steps taken so far: a frame drawn into a covered window or
// under a full-screen one changes no pixel that a screenshot shows, so tests cannot count
// frames any other way; the scale tells outputs of one size apart and shows when a new one
// took effect; and the steps are what a frame rate is measured against.
#pragma once

#include <cstdint>

namespace roses {

bool frame_log_wanted();

// "roses: frame WxH scale S step N".
void log_frame(std::int32_t width, std::int32_t height, double scale, std::uint64_t steps);

} // namespace roses
