#include "headless/options.h"

#include "headless/monitor_list.h"

namespace roses {

std::string headless_usage() {
    return "usage: roses --headless [--seed N] [--size WxH] [--scale X] [--frames K]\n"
           "                        [--png FILE] [--frames-dir DIR [--every K] [--fps N]]\n"
           "                        [--events FILE] [--monitors WxH+X+Y,...] [--samples N]\n"
           "Renders the saver with no display in 50 ms steps, one frame a step unless --fps\n"
           "asks for more, and writes the last step's frame as a PNG picture (roses.png\n"
           "unless --png or --frames-dir is given).\n"
           "  --seed N        start the random sources from N instead of the clock\n"
           "  --size WxH      picture size in pixels (default 800x600)\n"
           "  --scale X       pixels per pixel of an ordinary 96 DPI display, from 1 to 8\n"
           "                  (default 1): lines are 2 x X pixels wide, so --size 3840x2160\n"
           "                  --scale 2 draws the picture of --size 1920x1080 at twice its\n"
           "                  resolution\n"
           "  --frames K      number of steps (default 600, thirty simulated seconds)\n"
           "  --png FILE      write the last step's frame to FILE\n"
           "  --frames-dir D  write every K-th frame as D/00042.png\n"
           "  --every K       with --frames-dir: every K-th frame (default 1), counted in\n"
           "                  frames, so --fps 60 --every 3 writes one picture a step\n"
           "  --fps N         with --frames-dir: N frames per simulated second, from 20 to\n"
           "                  240 (default 20, one a step); frames between two steps show\n"
           "                  the view between them, and frame numbers count frames\n"
           "  --events FILE   write searches, plantings, commits and retirements as JSON lines\n"
           "  --monitors L    one rose per rectangle WxH+X+Y of the picture, as on several\n"
           "                  monitors; rectangles may touch but not overlap\n"
           "  --samples N     smooth the edges with N samples a pixel: 0, 2, 4 or 8 (default\n"
           "                  0, so that pictures come out the same on every machine; 4 is\n"
           "                  what the display hosts use on a graphics card, and the most\n"
           "                  Mesa's llvmpipe offers)\n"
           "Every option may also be written with one dash, and a value may follow '='.\n";
}

parse_result<headless_options> parse_headless_options(int argc, const char* const* argv) {
    parse_result<headless_options> result;
    headless_options& options = result.options;
    option_reader words(argc, argv);
    // Read last, against the final --size, whichever of the two came first.
    std::string monitors_flag;
    std::string monitors_text;
    while (words.next()) {
        const std::string_view name = words.is_option() ? words.name() : std::string_view();
        if (words.is_switch("headless")) {
            continue;
        }
        if (words.read_shared(options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (name == "size") {
            const auto text = words.value();
            const auto size = text ? parse_size(*text, max_headless_side) : std::nullopt;
            if (!size) {
                return result.refuse(words.needs("WxH with each side from 1 to " +
                                                 std::to_string(max_headless_side)));
            }
            options.width = size->first;
            options.height = size->second;
        } else if (name == "scale") {
            const auto scale = words.scale();
            if (!scale) {
                return result.refuse(words.needs(scale_range));
            }
            options.scale = *scale;
        } else if (name == "frames") {
            const auto frames = words.number<std::int64_t>();
            if (!frames) {
                return result.refuse(words.needs("a whole number of at least 0"));
            }
            options.frames = *frames;
        } else if (name == "every") {
            const auto every = words.number<std::int64_t>();
            if (!every || *every < 1) {
                return result.refuse(words.needs("a whole number of at least 1"));
            }
            options.every = *every;
        } else if (name == "fps") {
            const auto fps = words.number<std::int32_t>();
            if (!fps || *fps < min_headless_fps || *fps > max_headless_fps) {
                return result.refuse(words.needs("a whole number from 20 to 240"));
            }
            options.fps = *fps;
        } else if (name == "samples") {
            const auto samples = words.samples();
            if (!samples) {
                return result.refuse(words.needs(samples_wording));
            }
            options.samples = *samples;
        } else if (name == "monitors") {
            const auto text = words.value();
            if (!text) {
                return result.refuse(words.needs("rectangles WxH+X+Y separated by commas"));
            }
            monitors_flag = printable(words.spelled());
            monitors_text = *text;
        } else if (name == "png" || name == "frames-dir" || name == "events") {
            const auto path = words.value();
            if (!path || path->empty()) {
                return result.refuse(words.needs("a non-empty path"));
            }
            (name == "png"      ? options.png
             : name == "events" ? options.events
                                : options.frames_dir) = *path;
        } else {
            return result.refuse(words.refusal("--headless --help"));
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
