#include "common/option_reader.h"

#include <cstdlib>
#include <string>

namespace roses {
std::optional<std::pair<std::int32_t, std::int32_t>> parse_size(std::string_view text,
                                                                std::int32_t largest) {
    const auto cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = parse_number<std::int32_t>(text.substr(0, cross));
    const auto height = parse_number<std::int32_t>(text.substr(cross + 1));
    if (!width || !height || *width < 1 || *height < 1 || *width > largest || *height > largest) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

std::optional<double> parse_scale(std::string_view text) {
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view("0") : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(whole) || !digits(fraction)) {
        return std::nullopt;
    }
#if defined(__cpp_lib_to_chars)
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
#else
    // A standard library without decimal from_chars (the page's): the digits are checked
    // above, and no locale is ever set, so the point is the decimal point.
    const double value = std::strtod(std::string(text).c_str(), nullptr);
#endif
    if (value < min_scale || value > max_scale) {
        return std::nullopt;
    }
    return value;
}

std::string printable(std::string_view word) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(word.size());
    for (const char character : word) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte >= 0x20 && byte != 0x7f) {
            text += character;
        } else if (character == '\n') {
            text += "\\n";
        } else if (character == '\t') {
            text += "\\t";
        } else if (character == '\r') {
            text += "\\r";
        } else {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 0xf];
        }
    }
    return text;
}

std::string quoted(std::string_view word) {
    return '"' + printable(word) + '"';
}

std::string needs(std::string_view name, std::string_view what,
                  std::optional<std::string_view> value) {
    std::string line = printable(name) + " needs " + std::string(what);
    if (value) {
        line += ", not " + roses::quoted(*value);
    }
    return line;
}

std::string_view option_name(std::string_view word) {
    if (word.size() < 2 || word[0] != '-') {
        return {};
    }
    word.remove_prefix(word[1] == '-' ? 2 : 1);
    return word.substr(0, word.find('='));
}

bool option_reader::next() {
    if (index + 1 >= argc) {
        return false;
    }
    current = argv[++index];
    name_ = option_name(current);
    inline_value.reset();
    last_value.reset();
    if (const auto equals = current.find('='); !name_.empty() && equals != std::string_view::npos) {
        inline_value = current.substr(equals + 1);
    }
    return true;
}

std::string option_reader::spelled() const {
    return std::string(
        current.substr(0, current.size() - (inline_value ? inline_value->size() + 1 : 0)));
}

std::optional<std::string_view> option_reader::value() {
    if (inline_value) {
        last_value = inline_value;
    } else if (index + 1 < argc) {
        last_value = std::string_view(argv[++index]);
    }
    return last_value;
}

std::string option_reader::needs(std::string_view what) const {
    return roses::needs(spelled(), what, last_value);
}

bool option_reader::read_shared(shared_options& options, std::string& error) {
    if (is_switch("help") || is_switch("h")) {
        options.help = true;
        return true;
    }
    if (name_ != "seed") {
        return false;
    }
    options.seed = number<std::uint32_t>();
    if (!options.seed) {
        error = needs(seed_wording);
    }
    return true;
}

std::string option_reader::refusal(std::string_view help) const {
    if (!is_option()) {
        return "unexpected argument " + roses::quoted(current);
    }
    return "unknown option " + roses::quoted(current) + " (try " + std::string(help) + ")";
}

} // namespace roses
