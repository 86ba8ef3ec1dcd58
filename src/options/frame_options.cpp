#include "options/frame_options.h"

#include "options/option_table.h"

namespace roses {

bool read_frame_option(option_reader& words, frame_options& options, std::string& error) {
    if (words.is(options::max_fps)) {
        options.max_fps = words.whole<std::int32_t>();
        if (!options.max_fps) {
            error = words.needs();
        }
    } else if (words.is(options::samples)) {
        options.samples = words.choice();
        if (!options.samples) {
            error = words.needs();
        }
    } else if (words.is(options::battery_fps)) {
        const auto fps = words.whole<std::int32_t>();
        if (fps) {
            options.battery_fps = *fps;
        } else {
            error = words.needs();
        }
    } else {
        return false;
    }
    return true;
}

} // namespace roses
