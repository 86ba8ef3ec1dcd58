#include "options/option_reader.h"

#include "options/option_table.h"

#include <cstdlib>
#include <string>

namespace roses {
std::optional<std::pair<std::int32_t, std::int32_t>>
parse_size(std::string_view text, std::int32_t smallest, std::int32_t largest) {
    const auto cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = parse_number<std::int32_t>(text.substr(0, cross));
    const auto height = parse_number<std::int32_t>(text.substr(cross + 1));
    if (!width || !height || *width < smallest || *height < smallest || *width > largest ||
        *height > largest) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

std::optional<double> parse_decimal(std::string_view text, double low, double high) {
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
    if (value < low || value > high) {
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

std::optional<std::int32_t> choice_value(const option& wanted, std::string_view text) {
    const auto value = parse_number<std::int32_t>(text);
    for (const std::int32_t choice : wanted.choices) {
        if (value == choice) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<double> decimal_value(const option& wanted, std::string_view text) {
    return parse_decimal(text, static_cast<double>(wanted.low), static_cast<double>(wanted.high));
}

std::optional<std::pair<std::int32_t, std::int32_t>> size_value(const option& wanted,
                                                                std::string_view text) {
    return parse_size(text, static_cast<std::int32_t>(wanted.low),
                      static_cast<std::int32_t>(wanted.high));
}

const option* find_option(std::span<const option* const> table, unsigned program,
                          std::string_view name, bool with_value) {
    for (const option* entry : table) {
        if ((entry->programs & program) != 0 &&
            (name == entry->name || (!entry->alias.empty() && name == entry->alias)) &&
            (entry->kind != option_kind::flag || !with_value)) {
            return entry;
        }
    }
    return nullptr;
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
    known = name_.empty()
                ? nullptr
                : find_option(options::all, program.program, name_, inline_value.has_value());
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

std::optional<std::int32_t> option_reader::choice() {
    const auto text = value();
    return text && known ? choice_value(*known, *text) : std::nullopt;
}

std::optional<double> option_reader::decimal() {
    const auto text = value();
    return text && known ? decimal_value(*known, *text) : std::nullopt;
}

std::optional<std::pair<std::int32_t, std::int32_t>> option_reader::size() {
    const auto text = value();
    return text && known ? size_value(*known, *text) : std::nullopt;
}

std::string option_reader::needs() const {
    return roses::needs(spelled(), known ? known->needs : std::string_view(), last_value);
}

bool option_reader::read_shared(shared_options& options, std::string& error) {
    if (is(options::help)) {
        options.help = true;
        return true;
    }
    if (!is(options::seed)) {
        return false;
    }
    options.seed = whole<std::uint32_t>();
    if (!options.seed) {
        error = needs();
    }
    return true;
}

std::string option_reader::refusal() const {
    if (!is_option()) {
        return "unexpected argument " + roses::quoted(current);
    }
    return "unknown option " + roses::quoted(current) + " (try " + std::string(program.try_help) +
           ")";
}

} // namespace roses
