// One line on standard error for every frame a display host shows (ROSES_LOG_FRAMES=1), with
// the scale it was drawn at and the steps taken so far: a frame drawn into a covered window or
// under a full-screen one changes no pixel that a screenshot shows, so tests cannot count
// frames any other way; the scale tells outputs of one size apart and shows when a new one
// took effect; the steps are what a frame rate is measured against; and where the host
// counts them, the requests sent to the display so far tell what following it costs.
#pragma once

#include <cstdint>
#include <optional>

namespace roses {

bool frame_log_wanted();

// "roses: frame WxH scale S step N", then " requests R" where requests are given.
void log_frame(std::int32_t width, std::int32_t height, double scale, std::uint64_t steps,
               std::optional<std::uint64_t> requests = std::nullopt);

} // namespace roses
