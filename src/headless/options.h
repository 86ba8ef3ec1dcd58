// The renderer's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "options/option_reader.h"
#include "options/option_table.h"
#include "scene/monitor_layout.h"

namespace roses {

struct headless_options : shared_options {
    std::int32_t width = static_cast<std::int32_t>(options::picture_size.default_value);
    std::int32_t height = static_cast<std::int32_t>(options::picture_size.default_height);
    // Device pixels per ordinary pixel: the picture is the one that size / scale shows, at
    // scale times the resolution.
    double scale = static_cast<double>(options::scale.default_value);
    // Thirty simulated seconds.
    std::int64_t frames = options::frames.default_value;
    std::string png;
    std::string frames_dir;
    std::int64_t every = options::every.default_value;
    // Frames per simulated second written to frames_dir; by default one a step.
    std::int32_t fps = static_cast<std::int32_t>(options::fps.default_value);
    std::string events;
    // Samples a pixel for smooth edges; none by default, so that a seed's pictures stay the
    // same from release to release and from machine to machine.
    std::int32_t samples = 0;
    // Empty without --monitors: one scene for the whole picture, events as they always were.
    std::vector<monitor_rect> monitors;
};

inline constexpr auto max_headless_side = static_cast<std::int32_t>(options::picture_size.high);

// Reads the options after the program name, each with one or two dashes; "--headless"
// itself is skipped.
[[nodiscard]] parse_result<headless_options> parse_headless_options(int argc,
                                                                    const char* const* argv);

} // namespace roses
