#include "x11/x11_options.h"

namespace roses {
namespace {

// X coordinates are 16-bit; a larger window cannot exist.
constexpr std::int32_t largest_window_side = 32767;

} // namespace

std::optional<std::uint32_t> parse_window_id(std::string_view text) {
    std::optional<std::uint32_t> id;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        id = parse_number<std::uint32_t>(text.substr(2), 16);
    } else {
        id = parse_number<std::uint32_t>(text, 10);
    }
    if (id && *id == 0) {
        return std::nullopt;
    }
    return id;
}

x11_parse_result parse_x11_options(int argc, const char* const* argv) {
    x11_parse_result result;
    x11_options& options = result.options;
    option_reader words(argc, argv);
    while (words.next()) {
        const std::string_view name = words.is_option() ? words.name() : std::string_view();
        if (name == "window-id") {
            auto text = words.value();
            if (!text) {
                return result.refuse(words.needs("a window id"));
            }
            auto id = parse_window_id(*text);
            if (!id) {
                return result.refuse(roses::quoted(*text) +
                                     " is not a window id (a decimal number or 0x followed by "
                                     "hex digits)");
            }
            options.target = x11_target::window_id;
            options.window = *id;
        } else if (words.is_switch("root")) {
            options.target = x11_target::root;
        } else if (words.is_switch("window")) {
            options.target = x11_target::own_window;
        } else if (words.is_switch("saver")) {
            options.target = x11_target::saver;
        } else if (name == "size") {
            auto text = words.value();
            auto size = text ? parse_size(*text, largest_window_side) : std::nullopt;
            if (!size) {
                return result.refuse(words.needs("WIDTHxHEIGHT, each from 1 to 32767"));
            }
            options.width = size->first;
            options.height = size->second;
        } else if (words.read_shared(options, result.error) ||
                   read_frame_option(words, options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (name == "scale") {
            const auto scale = words.scale();
            if (!scale) {
                return result.refuse(words.needs(scale_range));
            }
            options.scale = *scale;
        } else if (words.is_switch("version")) {
            options.version = true;
        } else {
            return result.refuse(words.refusal("--help"));
        }
    }
    return result;
}

std::string x11_usage() {
    return "usage: roses [option...]\n"
           "Draws roses, orbits of z -> z^2 + c, with OpenGL on an X display.\n"
           "\n"
           "  -window           a window of its own (the default); q or Escape closes it\n"
           "  -size WxH         the size of that window (default 800x600)\n"
           "  -root             draw into $XSCREENSAVER_WINDOW, else the root window\n"
           "  -window-id ID     draw into the window ID (decimal or 0x hex)\n"
           "  -saver            full screen; any key, click or mouse movement ends it\n"
           "  -seed N           start the random sources from N\n"
           "  -scale X          lines 2 x X pixels wide, X from 1 to 8 (default: the\n"
           "                    display's Xft.dpi resource / 96, and 1 below 96 DPI)\n"
           "  -max-fps N        at most N frames a second, from 1 to 1000 (default: the\n"
           "                    display's refresh rate, with vsync where GLX offers it;\n"
           "                    on a software renderer such as llvmpipe one frame per\n"
           "                    50 ms step, as every frame costs the processor there)\n"
           "  -samples N        smooth the lines' edges with N samples a pixel: 0, 2, 4 or 8\n"
           "                    (default: 4 on a graphics card, which does it at little\n"
           "                    cost; 0 on a software renderer, where every sample costs\n"
           "                    the processor; fewer where the driver offers fewer)\n"
           "  -battery-fps N    at most N frames a second, from 1 to 1000, while on\n"
           "                    battery or in the power-saver profile, over any other\n"
           "                    rate (default 20: one frame per step)\n"
           "  -headless ...     render PNG pictures without a display (see -headless -help)\n"
           "  -wayland          full screen on every output of a Wayland compositor with\n"
           "                    layer-shell; any input ends it (see -wayland -help)\n"
           "  -wayland-background\n"
           "                    the same under every window, never ended by input: a\n"
           "                    wallpaper, or a locker's animated background\n"
           "  -help, -version\n"
           "Every option may also be written with two dashes.\n";
}

} // namespace roses
