// Reading what a user types: whole numbers, sizes and scales, and command lines in the
// conventions of XScreenSaver hacks, where every option is accepted with one or two leading
// dashes and a value follows as the next word or after "=". The Linux hosts read their
// options through this and the page reads its address with the same numbers, so that all of
// them accept the same values and refuse the same mistakes in the same words.
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
// What a refusal of a bad scale says it needs.
inline constexpr std::string_view scale_range = "a decimal number from 1 to 8";

// A word as an error line repeats it: control characters (a newline, an escape sequence)
// are written as \n, \t, \r or \xNN, so that whatever a caller passes, the line stays one
// line and cannot steer the terminal.
std::string printable(std::string_view word);

// A refused word as every refusal shows it: printable, in double quotes. Called as
// roses::quoted: given a std::string, argument-dependent lookup also finds std::quoted, which
// GCC 14's library makes the better match.
std::string quoted(std::string_view word);

// A cap on the frames a second that a display host draws (-max-fps N, -battery-fps N).
inline constexpr std::int32_t min_max_fps = 1;
inline constexpr std::int32_t max_max_fps = 1000;
inline constexpr std::string_view max_fps_range = "a whole number from 1 to 1000";

// Samples a pixel for edges smoothed by multisampling (-samples N): none, or a count that
// every multisampling driver offers or rounds up to.
inline constexpr std::string_view samples_wording = "0, 2, 4 or 8";

// What a seed must be, wherever one is given.
inline constexpr std::string_view seed_wording = "a whole number from 0 to 4294967295";

// The line that refuses a value: `--size needs WxH, not "0x0"`, or without the value when
// none was given.
std::string needs(std::string_view name, std::string_view what,
                  std::optional<std::string_view> value);

// The name of an option word without its one or two dashes and without "=value"; empty for a
// word that is no option.
std::string_view option_name(std::string_view word);

// The options that every command line takes: -seed N and -help (or -h).
struct shared_options {
    std::optional<std::uint32_t> seed;
    bool help = false;
};

// What a command line's parser returns: the options, or the one line that refuses them.
template <typename Options> struct parse_result {
    Options options;
    std::string error; // empty when the command line is usable

    parse_result refuse(std::string line) {
        error = std::move(line);
        return std::move(*this);
    }
};

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
    std::string_view name() const { return name_; }
    // The option is name and has no "=value": a switch.
    bool is_switch(std::string_view wanted) const { return name_ == wanted && !inline_value; }
    // The option as it was typed, without "=value": what messages repeat.
    std::string spelled() const;
    // The value after "=", else the next word, which it consumes; none at the end.
    std::optional<std::string_view> value();
    // The value as a whole number (parse_number); none when it is missing or not one.
    template <typename T> std::optional<T> number() {
        const auto text = value();
        return text ? parse_number<T>(*text) : std::nullopt;
    }
    // The value as a cap on frames a second, from min_max_fps to max_max_fps; none when it
    // is missing or not one.
    std::optional<std::int32_t> max_fps() {
        const auto fps = number<std::int32_t>();
        return fps && *fps >= min_max_fps && *fps <= max_max_fps ? fps : std::nullopt;
    }
    // The value as samples a pixel (samples_wording); none when it is missing or not one.
    std::optional<std::int32_t> samples() {
        const auto count = number<std::int32_t>();
        return count && (*count == 0 || *count == 2 || *count == 4 || *count == 8) ? count
                                                                                   : std::nullopt;
    }
    // The value as a display scale (parse_scale); none when it is missing or not one.
    std::optional<double> scale() {
        const auto text = value();
        return text ? parse_scale(*text) : std::nullopt;
    }

    // The line that refuses the option's value: `--size needs WxH, not "0x0"`, or without
    // the value when none was given.
    std::string needs(std::string_view what) const;
    // The line that refuses the current word: `unknown option "--frobnicate" (try --help)`,
    // or `unexpected argument "stray"` for a word that is no option.
    std::string refusal(std::string_view help) const;

    // Reads the word if it is one of the shared options. False when it is not; true when it
    // is, with the refusal of a bad value in error.
    [[nodiscard]] bool read_shared(shared_options& options, std::string& error);

  private:
    int argc;
    const char* const* argv;
    int index = 0;
    std::string_view current;
    std::string_view name_;
    std::optional<std::string_view> inline_value;
    std::optional<std::string_view> last_value;
};

} // namespace roses
