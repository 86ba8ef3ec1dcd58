#include "x11/x11_options.h"

#include <charconv>

namespace roses {
namespace {

// X coordinates are 16-bit; a larger window cannot exist.
constexpr std::int32_t largest_window_side = 32767;

template <typename T> std::optional<T> parse_number(std::string_view text, int base) {
    T value{};
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::pair<std::int32_t, std::int32_t>> parse_size(std::string_view text) {
    auto cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) {
        return std::nullopt;
    }
    auto width = parse_number<std::int32_t>(text.substr(0, cross), 10);
    auto height = parse_number<std::int32_t>(text.substr(cross + 1), 10);
    if (!width || !height || *width < 1 || *height < 1 || *width > largest_window_side ||
        *height > largest_window_side) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

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

x11_parse_result parse_x11_options(int argc, char** argv) {
    x11_parse_result result;
    x11_options& options = result.options;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (int i = 1; i < argc; ++i) {
        std::string_view word = argv[i];
        if (word.size() < 2 || word[0] != '-') {
            return fail("unexpected argument " + quoted(word));
        }
        std::string_view name = word.substr(word[1] == '-' ? 2 : 1);
        std::optional<std::string_view> inline_value;
        if (auto equals = name.find('='); equals != std::string_view::npos) {
            inline_value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        auto value = [&]() -> std::optional<std::string_view> {
            if (inline_value) {
                return inline_value;
            }
            if (i + 1 < argc) {
                return std::string_view(argv[++i]);
            }
            return std::nullopt;
        };
        auto takes_no_value = [&] { return !inline_value; };
        // Messages repeat the option as it was typed.
        std::string spelled(
            word.substr(0, word.size() - (inline_value ? inline_value->size() + 1 : 0)));

        if (name == "window-id") {
            auto text = value();
            if (!text) {
                return fail(spelled + " needs a window id");
            }
            auto id = parse_window_id(*text);
            if (!id) {
                return fail(quoted(*text) +
                            " is not a window id (a decimal number or 0x followed by hex "
                            "digits)");
            }
            options.target = x11_target::window_id;
            options.window = *id;
        } else if (name == "root" && takes_no_value()) {
            options.target = x11_target::root;
        } else if (name == "window" && takes_no_value()) {
            options.target = x11_target::own_window;
        } else if (name == "saver" && takes_no_value()) {
            options.target = x11_target::saver;
        } else if (name == "size") {
            auto text = value();
            auto size = text ? parse_size(*text) : std::nullopt;
            if (!size) {
                return fail(spelled + " needs WIDTHxHEIGHT, each from 1 to 32767");
            }
            options.width = size->first;
            options.height = size->second;
        } else if (name == "seed") {
            auto text = value();
            auto seed = text ? parse_number<std::uint32_t>(*text, 10) : std::nullopt;
            if (!seed) {
                return fail(spelled + " needs a number from 0 to 4294967295");
            }
            options.seed = *seed;
        } else if ((name == "help" || name == "h") && takes_no_value()) {
            options.help = true;
        } else if (name == "version" && takes_no_value()) {
            options.version = true;
        } else {
            return fail("unknown option " + quoted(word) + " (try --help)");
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
           "  -headless ...     render PNG pictures without a display (see -headless -help)\n"
           "  -help, -version\n"
           "Every option may also be written with two dashes.\n";
}

} // namespace roses
