#include "x11/x11_options.h"

#include "options/option_table.h"

namespace roses {
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
    option_reader words(argc, argv, options::x11_command_line);
    while (words.next()) {
        if (words.is(options::window_id)) {
            auto text = words.value();
            if (!text) {
                return result.refuse(words.needs());
            }
            auto id = parse_window_id(*text);
            if (!id) {
                return result.refuse(roses::quoted(*text) +
                                     " is not a window id (a decimal number or 0x followed by "
                                     "hex digits)");
            }
            options.target = x11_target::window_id;
            options.window = *id;
        } else if (words.is(options::root)) {
            options.target = x11_target::root;
        } else if (words.is(options::window)) {
            options.target = x11_target::own_window;
        } else if (words.is(options::saver)) {
            options.target = x11_target::saver;
        } else if (words.is(options::window_size)) {
            const auto size = words.size();
            if (!size) {
                return result.refuse(words.needs());
            }
            options.width = size->first;
            options.height = size->second;
        } else if (words.read_shared(options, result.error) ||
                   read_frame_option(words, options, result.error)) {
            if (!result.error.empty()) {
                return result;
            }
        } else if (words.is(options::scale)) {
            const auto scale = words.decimal();
            if (!scale) {
                return result.refuse(words.needs());
            }
            options.scale = *scale;
        } else if (words.is(options::version)) {
            options.version = true;
        } else {
            return result.refuse(words.refusal());
        }
    }
    return result;
}

} // namespace roses
