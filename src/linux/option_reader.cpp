#include "linux/option_reader.h"

namespace roses {
namespace {

constexpr const char* seed_wording = "a whole number from 0 to 4294967295";

} // namespace

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
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc{} || stop != end || value < min_scale || value > max_scale) {
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

bool option_reader::next() {
    if (index + 1 >= argc) {
        return false;
    }
    current = argv[++index];
    option_name = {};
    inline_value.reset();
    last_value.reset();
    if (is_option()) {
        option_name = current.substr(current[1] == '-' ? 2 : 1);
        if (const auto equals = option_name.find('='); equals != std::string_view::npos) {
            inline_value = option_name.substr(equals + 1);
            option_name = option_name.substr(0, equals);
        }
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
    std::string line = printable(spelled()) + " needs " + std::string(what);
    if (last_value) {
        line += ", not " + quoted(*last_value);
    }
    return line;
}

bool option_reader::read_shared(shared_options& options, std::string& error) {
    if (is_switch("help") || is_switch("h")) {
        options.help = true;
        return true;
    }
    if (option_name != "seed") {
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
        return "unexpected argument " + quoted(current);
    }
    return "unknown option " + quoted(current) + " (try " + std::string(help) + ")";
}

} // namespace roses
