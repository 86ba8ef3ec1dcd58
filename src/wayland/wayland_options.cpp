#include "wayland/wayland_options.h"

namespace roses {

wayland_parse_result parse_wayland_options(int argc, const char* const* argv) {
    wayland_parse_result result;
    wayland_options& options = result.options;
    option_reader words(argc, argv);
    std::string layer_word;
    while (words.next()) {
        const std::string_view name = words.is_option() ? words.name() : std::string_view();
        if (words.is_switch("wayland") || words.is_switch("wayland-background")) {
            const std::string word(words.word());
            if (!layer_word.empty() && layer_word != word) {
                return result.refuse(roses::quoted(layer_word) + " and " + roses::quoted(word) +
                                     " cannot be combined");
            }
            layer_word = word;
            options.layer = name == "wayland" ? wayland_layer::saver : wayland_layer::background;
        } else if (words.read_shared(options, result.error) ||
                   read_frame_option(words, options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (name == "scale") {
            return result.refuse(roses::quoted(words.spelled()) +
                                 " is not for the Wayland host: every output's scale comes from "
                                 "the compositor");
        } else {
            return result.refuse(words.refusal("-wayland -help"));
        }
    }
    return result;
}

std::string wayland_usage() {
    return "usage: roses -wayland [-seed N] [-max-fps N] [-battery-fps N] [-samples N]\n"
           "       roses -wayland-background [-seed N] [-max-fps N] [-battery-fps N]\n"
           "                                 [-samples N]\n"
           "Draws roses on every output of a Wayland compositor that offers the layer-shell\n"
           "protocol (sway, Hyprland, river, labwc, KWin from Plasma 5.27 on, ...).\n"
           "\n"
           "  -wayland             the saver, over everything; any key, click, touch or\n"
           "                       mouse movement ends it\n"
           "  -wayland-background  an animated background under every window; only SIGTERM\n"
           "                       or SIGINT ends it\n"
           "  -seed N              start the random sources from N\n"
           "  -max-fps N           at most N frames a second, from 1 to 1000 (default: one\n"
           "                       for every frame the compositor asks for; on a software\n"
           "                       renderer such as llvmpipe one per 50 ms step, as every\n"
           "                       frame costs the processor there)\n"
           "  -samples N           smooth the lines' edges with N samples a pixel: 0, 2, 4\n"
           "                       or 8 (default: 4 on a graphics card, which does it at\n"
           "                       little cost; 0 on a software renderer, where every\n"
           "                       sample costs the processor)\n"
           "  -battery-fps N       at most N frames a second, from 1 to 1000, while on\n"
           "                       battery or in the power-saver profile, over any other\n"
           "                       rate (default 20: one frame per step)\n"
           "\n"
           "Lines are 2 pixels wide times each output's scale, as the compositor sets it;\n"
           "at 125 % or 150 %, where the compositor offers fractional scales, drawn at the\n"
           "output's own pixels and sharp.\n"
           "As the saver, with an idle daemon:   swayidle timeout 300 'roses -wayland'\n"
           "As a locker's or a compositor's animated background: roses -wayland-background\n"
           "Every option may also be written with two dashes.\n";
}

} // namespace roses
