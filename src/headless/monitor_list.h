// --monitors: the picture divided into monitors, each drawn by a scene of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scene/monitor_layout.h"

namespace roses {

// Reads a comma-separated list of rectangles WxH+X+Y (X and Y from the picture's top-left
// corner) and checks it against a width x height picture: every rectangle non-empty and
// inside the picture, none overlapping another (touching is fine). Returns an empty string,
// or one line that says what is wrong, naming the option as flag.
std::string parse_monitor_list(std::string_view flag, std::string_view text, std::int32_t width,
                               std::int32_t height, std::vector<monitor_rect>& monitors);

} // namespace roses
