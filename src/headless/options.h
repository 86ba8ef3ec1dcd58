// The renderer's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/frame_clock.h"
#include "scene/monitor_layout.h"

#include "common/option_reader.h"

namespace roses {

struct headless_options : shared_options {
    std::int32_t width = 800;
    std::int32_t height = 600;
    // Device pixels per ordinary pixel: the picture is the one that size / scale shows, at
    // scale times the resolution.
    double scale = 1.0;
    // 600 steps: thirty simulated seconds.
    std::int64_t frames = 600;
    std::string png;
    std::string frames_dir;
    std::int64_t every = 1;
    // Frames per simulated second written to frames_dir; by default one a step.
    std::int32_t fps = steps_per_second;
    std::string events;
    // Samples a pixel for smooth edges; none by default, so that a seed's pictures stay the
    // same from release to release and from machine to machine.
    std::int32_t samples = 0;
    // Empty without --monitors: one scene for the whole picture, events as they always were.
    std::vector<monitor_rect> monitors;
};

inline constexpr std::int32_t max_headless_side = 16384;
inline constexpr std::int32_t min_headless_fps = steps_per_second;
inline constexpr std::int32_t max_headless_fps = 240;

// Reads the options after the program name, each with one or two dashes; "--headless"
// itself is skipped.
[[nodiscard]] parse_result<headless_options> parse_headless_options(int argc,
                                                                    const char* const* argv);

// The usage text that --headless --help prints.
std::string headless_usage();

} // namespace roses
