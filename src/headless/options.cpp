#include "headless/options.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace roses {
namespace {

// Whole decimal numbers only: no sign, no spaces, no trailing text.
template <typename T> bool parse_number(std::string_view text, T& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parse_size(std::string_view text, std::int32_t& width, std::int32_t& height) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) {
        return false;
    }
    return parse_number(text.substr(0, x), width) && parse_number(text.substr(x + 1), height);
}

} // namespace

const char* const headless_usage =
    "usage: roses --headless [--seed N] [--size WxH] [--frames K] [--png FILE]\n"
    "                        [--frames-dir DIR [--every K]] [--events FILE]\n"
    "Renders the saver with no display, one 50 ms step per frame, and writes the last\n"
    "frame as a PNG picture (roses.png unless --png or --frames-dir is given).\n"
    "  --seed N        start the random sources from N instead of the clock\n"
    "  --size WxH      picture size in pixels (default 800x600)\n"
    "  --frames K      number of steps (default 600, thirty simulated seconds)\n"
    "  --png FILE      write the last frame to FILE\n"
    "  --frames-dir D  write every K-th frame as D/00042.png\n"
    "  --every K       with --frames-dir: every K-th frame (default 1)\n"
    "  --events FILE   write searches, plantings, commits and retirements as JSON lines\n";

std::string parse_headless_options(int argc, const char* const* argv, headless_options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (flag == "--headless" || flag == "-headless") {
            continue;
        }
        if (flag == "--help" || flag == "-h") {
            options.help = true;
            continue;
        }
        const bool takes_value = flag == "--seed" || flag == "--size" || flag == "--frames" ||
                                 flag == "--png" || flag == "--frames-dir" || flag == "--every" ||
                                 flag == "--events";
        if (!takes_value) {
            std::string line = "unknown option '";
            line.append(flag);
            line.append("' (try --headless --help)");
            return line;
        }
        if (i + 1 >= argc) {
            return std::string(flag) + " needs a value";
        }
        const std::string_view value = argv[++i];
        std::string quoted(1, '\'');
        quoted.append(value);
        quoted.push_back('\'');
        if (flag == "--seed") {
            std::uint32_t seed = 0;
            if (!parse_number(value, seed)) {
                return "--seed needs a whole number from 0 to 4294967295, not " + quoted;
            }
            options.seed = seed;
        } else if (flag == "--size") {
            std::int32_t width = 0;
            std::int32_t height = 0;
            if (!parse_size(value, width, height) || width < 1 || height < 1 ||
                width > max_headless_side || height > max_headless_side) {
                return "--size needs WxH with each side from 1 to " +
                       std::to_string(max_headless_side) + ", not " + quoted;
            }
            options.width = width;
            options.height = height;
        } else if (flag == "--frames") {
            if (!parse_number(value, options.frames)) {
                return "--frames needs a whole number of at least 0, not " + quoted;
            }
        } else if (flag == "--every") {
            if (!parse_number(value, options.every) || options.every < 1) {
                return "--every needs a whole number of at least 1, not " + quoted;
            }
        } else if (value.empty()) {
            return std::string(flag) + " needs a non-empty path";
        } else if (flag == "--png") {
            options.png = value;
        } else if (flag == "--frames-dir") {
            options.frames_dir = value;
        } else {
            options.events = value;
        }
    }
    return {};
}

} // namespace roses
