#include "headless/options.h"

#include "headless/monitor_list.h"
#include "options/option_table.h"
#include "scene/frame_clock.h"

namespace roses {

// A frame at every step at the least: the frames are drawn between steps.
static_assert(options::fps.low == steps_per_second &&
              options::fps.default_value == steps_per_second);

parse_result<headless_options> parse_headless_options(int argc, const char* const* argv) {
    parse_result<headless_options> result;
    headless_options& options = result.options;
    option_reader words(argc, argv, options::headless_command_line);
    // Read last, against the final --size, whichever of the two came first.
    std::string monitors_flag;
    std::string monitors_text;
    while (words.next()) {
        if (words.is(options::headless)) {
            continue;
        }
        if (words.read_shared(options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (words.is(options::picture_size)) {
            const auto size = words.size();
            if (!size) {
                return result.refuse(words.needs());
            }
            options.width = size->first;
            options.height = size->second;
        } else if (words.is(options::scale)) {
            const auto scale = words.decimal();
            if (!scale) {
                return result.refuse(words.needs());
            }
            options.scale = *scale;
        } else if (words.is(options::frames) || words.is(options::every)) {
            const auto count = words.whole<std::int64_t>();
            if (!count) {
                return result.refuse(words.needs());
            }
            (words.is(options::frames) ? options.frames : options.every) = *count;
        } else if (words.is(options::fps)) {
            const auto fps = words.whole<std::int32_t>();
            if (!fps) {
                return result.refuse(words.needs());
            }
            options.fps = *fps;
        } else if (words.is(options::samples)) {
            const auto samples = words.choice();
            if (!samples) {
                return result.refuse(words.needs());
            }
            options.samples = *samples;
        } else if (words.is(options::monitors)) {
            const auto text = words.value();
            if (!text) {
                return result.refuse(words.needs());
            }
            monitors_flag = printable(words.spelled());
            monitors_text = *text;
        } else if (words.is(options::png) || words.is(options::frames_dir) ||
                   words.is(options::events)) {
            const auto path = words.value();
            if (!path || path->empty()) {
                return result.refuse(words.needs());
            }
            (words.is(options::png)      ? options.png
             : words.is(options::events) ? options.events
                                         : options.frames_dir) = *path;
        } else {
            return result.refuse(words.refusal());
        }
    }
    if (!monitors_flag.empty()) {
        if (std::string bad = parse_monitor_list(monitors_flag, monitors_text, options.width,
                                                 options.height, options.monitors);
            !bad.empty()) {
            return result.refuse(bad);
        }
    }
    return result;
}

} // namespace roses
