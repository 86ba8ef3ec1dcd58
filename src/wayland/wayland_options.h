// The command line of the Wayland host: which layer to draw on, and the options it shares
// with the other Linux hosts, in the same conventions (one or two dashes, "=value" or the
// next word).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/option_reader.h"
#include "scene/frame_clock.h"

namespace roses {

enum class wayland_layer {
    saver,      // over everything, taking the keyboard; any input ends it
    background, // under every window; only a stop signal ends it
};

struct wayland_options : shared_options {
    wayland_layer layer = wayland_layer::saver;
    // Frames a second at most; without it, one frame for each the compositor asks for (one
    // a step on a software rasteriser).
    std::optional<std::int32_t> max_fps;
    // Samples a pixel for smooth edges; without it, 4 on a graphics card and none on a
    // software renderer (choose_samples).
    std::optional<std::int32_t> samples;
    // Frames a second at most while the system saves power (on battery, or in the
    // power-saver profile): one a step unless told, over any other cap.
    std::int32_t battery_fps = steps_per_second;
};

using wayland_parse_result = parse_result<wayland_options>;

[[nodiscard]] wayland_parse_result parse_wayland_options(int argc, const char* const* argv);

// The usage text that -wayland -help prints.
std::string wayland_usage();

} // namespace roses
