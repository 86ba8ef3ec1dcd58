#include "wayland/wayland_options.h"

#include "cli/command_line.h"

namespace roses {

wayland_parse_result parse_wayland_options(int argc, char** argv) {
    wayland_parse_result result;
    wayland_options& options = result.options;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    option_reader words(argc, argv);
    std::string layer_word;
    while (words.next()) {
        const std::string word(words.word());
        if (!words.is_option()) {
            return fail("unexpected argument \"" + word + "\"");
        }
        const std::string_view name = words.name();
        const bool takes_no_value = !words.has_inline_value();
        if ((name == "wayland" || name == "wayland-background") && takes_no_value) {
            if (!layer_word.empty() && layer_word != word) {
                return fail(layer_word + " and " + word + " cannot be combined");
            }
            layer_word = word;
            options.layer = name == "wayland" ? wayland_layer::saver : wayland_layer::background;
        } else if (name == "seed") {
            auto text = words.value();
            auto seed = text ? parse_number<std::uint32_t>(*text) : std::nullopt;
            if (!seed) {
                return fail(words.spelled() + " needs a number from 0 to 4294967295");
            }
            options.seed = *seed;
        } else if (name == "scale") {
            return fail(words.spelled() +
                        " is not for the Wayland host: every output's scale comes from the "
                        "compositor");
        } else if ((name == "help" || name == "h") && takes_no_value) {
            options.help = true;
        } else {
            return fail("unknown option \"" + word +
                        "\" for the Wayland host (try -wayland -help)");
        }
    }
    return result;
}

std::string wayland_usage() {
    return "usage: roses -wayland [-seed N]\n"
           "       roses -wayland-background [-seed N]\n"
           "Draws roses on every output of a Wayland compositor that offers the layer-shell\n"
           "protocol (sway, Hyprland, river, labwc, ...).\n"
           "\n"
           "  -wayland             the saver, over everything; any key, click, touch or\n"
           "                       mouse movement ends it\n"
           "  -wayland-background  an animated background under every window; only SIGTERM\n"
           "                       or SIGINT ends it\n"
           "  -seed N              start the random sources from N\n"
           "\n"
           "Lines are 2 pixels wide times each output's scale, as the compositor sets it.\n"
           "As the saver, with an idle daemon:   swayidle timeout 300 'roses -wayland'\n"
           "As a locker's or a compositor's animated background: roses -wayland-background\n"
           "Every option may also be written with two dashes.\n";
}

} // namespace roses
