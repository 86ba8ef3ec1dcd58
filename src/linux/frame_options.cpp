#include "linux/frame_options.h"

namespace roses {

bool read_frame_option(option_reader& words, frame_options& options, std::string& error) {
    if (words.name() == "max-fps") {
        options.max_fps = words.max_fps();
        if (!options.max_fps) {
            error = words.needs(max_fps_range);
        }
    } else if (words.name() == "samples") {
        options.samples = words.samples();
        if (!options.samples) {
            error = words.needs(samples_wording);
        }
    } else if (words.name() == "battery-fps") {
        const auto fps = words.max_fps();
        if (fps) {
            options.battery_fps = *fps;
        } else {
            error = words.needs(max_fps_range);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace roses
