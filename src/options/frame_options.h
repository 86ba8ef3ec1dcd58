// The options on when and how the display hosts draw frames, which the X11 and the Wayland
// command lines share word for word.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "options/option_reader.h"
#include "options/option_table.h"

namespace roses {

struct frame_options : shared_options {
    // Frames a second at most; without it, the display's rate (one frame a step on a
    // software rasteriser).
    std::optional<std::int32_t> max_fps;
    // Samples a pixel for smooth edges; without it, the frame clock's default for the
    // renderer (choose_samples).
    std::optional<std::int32_t> samples;
    // Frames a second at most while the system saves power (on battery, or in the
    // power-saver profile): one a step unless told, over any other cap.
    std::int32_t battery_fps = static_cast<std::int32_t>(options::battery_fps.default_value);
};

// Reads the word if it is -max-fps, -samples or -battery-fps. False when it is none of them;
// true when it is, with the refusal of a bad value in error.
[[nodiscard]] bool read_frame_option(option_reader& words, frame_options& options,
                                     std::string& error);

} // namespace roses
