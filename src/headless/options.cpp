#include "headless/options.h"

#include "cli/command_line.h"
#include "headless/monitor_list.h"

namespace roses {

const char* const headless_usage =
    "usage: roses --headless [--seed N] [--size WxH] [--frames K] [--png FILE]\n"
    "                        [--frames-dir DIR [--every K]] [--events FILE]\n"
    "                        [--monitors WxH+X+Y,...]\n"
    "Renders the saver with no display, one 50 ms step per frame, and writes the last\n"
    "frame as a PNG picture (roses.png unless --png or --frames-dir is given).\n"
    "  --seed N        start the random sources from N instead of the clock\n"
    "  --size WxH      picture size in pixels (default 800x600)\n"
    "  --frames K      number of steps (default 600, thirty simulated seconds)\n"
    "  --png FILE      write the last frame to FILE\n"
    "  --frames-dir D  write every K-th frame as D/00042.png\n"
    "  --every K       with --frames-dir: every K-th frame (default 1)\n"
    "  --events FILE   write searches, plantings, commits and retirements as JSON lines\n"
    "  --monitors L    one rose per rectangle WxH+X+Y of the picture, as on several\n"
    "                  monitors; rectangles may touch but not overlap\n"
    "Every option may also be written with one dash, and a value may follow '='.\n";

std::string parse_headless_options(int argc, const char* const* argv, headless_options& options) {
    option_reader words(argc, argv);
    // Read last, against the final --size, whichever of the two came first.
    std::string monitors_flag;
    std::string monitors_text;
    while (words.next()) {
        const std::string_view name = words.is_option() ? words.name() : std::string_view();
        const bool bare = !words.has_inline_value();
        if (name == "headless" && bare) {
            continue;
        }
        if ((name == "help" || name == "h") && bare) {
            options.help = true;
            continue;
        }
        const bool takes_value = name == "seed" || name == "size" || name == "frames" ||
                                 name == "png" || name == "frames-dir" || name == "every" ||
                                 name == "events" || name == "monitors";
        if (!takes_value) {
            std::string line = "unknown option '";
            line.append(printable(words.word()));
            line.append("' (try --headless --help)");
            return line;
        }
        // Messages repeat the option as it was typed.
        const std::string flag = words.spelled();
        const auto given = words.value();
        if (!given) {
            return flag + " needs a value";
        }
        const std::string_view value = *given;
        std::string quoted(1, '\'');
        quoted.append(printable(value));
        quoted.push_back('\'');
        if (name == "seed") {
            const auto seed = parse_number<std::uint32_t>(value);
            if (!seed) {
                return flag + " needs a whole number from 0 to 4294967295, not " + quoted;
            }
            options.seed = *seed;
        } else if (name == "size") {
            const auto size = parse_size(value, max_headless_side);
            if (!size) {
                return flag + " needs WxH with each side from 1 to " +
                       std::to_string(max_headless_side) + ", not " + quoted;
            }
            options.width = size->first;
            options.height = size->second;
        } else if (name == "frames") {
            const auto frames = parse_number<std::int64_t>(value);
            if (!frames) {
                return flag + " needs a whole number of at least 0, not " + quoted;
            }
            options.frames = *frames;
        } else if (name == "every") {
            const auto every = parse_number<std::int64_t>(value);
            if (!every || *every < 1) {
                return flag + " needs a whole number of at least 1, not " + quoted;
            }
            options.every = *every;
        } else if (name == "monitors") {
            monitors_flag = flag;
            monitors_text = value;
        } else if (value.empty()) {
            return flag + " needs a non-empty path";
        } else if (name == "png") {
            options.png = value;
        } else if (name == "frames-dir") {
            options.frames_dir = value;
        } else {
            options.events = value;
        }
    }
    if (!monitors_flag.empty()) {
        return parse_monitor_list(monitors_flag, monitors_text, options.width, options.height,
                                  options.monitors);
    }
    return {};
}

} // namespace roses
