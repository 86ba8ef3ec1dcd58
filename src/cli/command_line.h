// The Linux program's command line, in the conventions of XScreenSaver hacks: every option
// is accepted with one or two leading dashes, and a value follows as the next word or after
// "=". Both Linux hosts read their options through this.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace roses {

// A whole number in the given base: digits only, no sign, no spaces, no trailing text, and
// within the range of T.
template <typename T> std::optional<T> parse_number(std::string_view text, int base = 10) {
    if (text.empty() || text.front() == '-') {
        return std::nullopt;
    }
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

// "WxH" or "WXH", each side a whole number from 1 to largest.
std::optional<std::pair<std::int32_t, std::int32_t>> parse_size(std::string_view text,
                                                                std::int32_t largest);

inline constexpr double min_scale = 1.0;
inline constexpr double max_scale = 8.0;

// A display scale written as a plain decimal number ("1", "1.5", "2"): digits with at most one
// point between digits, from min_scale to max_scale. No sign, exponent, hex, nan or inf.
std::optional<double> parse_scale(std::string_view text);

// A word as an error line repeats it: control characters (a newline, an escape sequence)
// are written as \n, \t, \r or \xNN, so that whatever a caller passes, the line stays one
// line and cannot steer the terminal.
std::string printable(std::string_view word);

// Walks the words after the program name, one option at a time.
class option_reader {
  public:
    option_reader(int argc, const char* const* argv) : argc(argc), argv(argv) {}

    // Moves to the next word; false when none is left.
    bool next();
    // The word as it was typed, "--size=10x10" say.
    std::string_view word() const { return current; }
    // A dash and at least one more character.
    bool is_option() const { return current.size() >= 2 && current[0] == '-'; }
    // The option's name without its dashes and without "=value".
    std::string_view name() const { return option_name; }
    // The option as it was typed, without "=value": what messages repeat.
    std::string spelled() const;
    bool has_inline_value() const { return inline_value.has_value(); }
    // The value after "=", else the next word, which it consumes; none at the end.
    std::optional<std::string_view> value();

  private:
    int argc;
    const char* const* argv;
    int index = 0;
    std::string_view current;
    std::string_view option_name;
    std::optional<std::string_view> inline_value;
};

} // namespace roses
