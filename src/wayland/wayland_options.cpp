#include "wayland/wayland_options.h"

#include "options/option_table.h"

namespace roses {

wayland_parse_result parse_wayland_options(int argc, const char* const* argv) {
    wayland_parse_result result;
    wayland_options& options = result.options;
    option_reader words(argc, argv, options::wayland_command_line);
    std::string layer_word;
    while (words.next()) {
        if (words.is(options::wayland) || words.is(options::wayland_background)) {
            const std::string word(words.word());
            if (!layer_word.empty() && layer_word != word) {
                return result.refuse(roses::quoted(layer_word) + " and " + roses::quoted(word) +
                                     " cannot be combined");
            }
            layer_word = word;
            options.layer =
                words.is(options::wayland) ? wayland_layer::saver : wayland_layer::background;
        } else if (words.read_shared(options, result.error) ||
                   read_frame_option(words, options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (words.is_option() && words.name() == options::scale.name) {
            return result.refuse(roses::quoted(words.spelled()) +
                                 " is not for the Wayland host: every output's scale comes from "
                                 "the compositor");
        } else {
            return result.refuse(words.refusal());
        }
    }
    return result;
}

} // namespace roses
