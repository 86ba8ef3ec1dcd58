// Reading what a user types: whole numbers, sizes and scales, and command lines in the
// conventions of XScreenSaver hacks, where every option is accepted with one or two leading
// dashes and a value follows as the next word or after "=". The Linux hosts read their
// options through this and the page reads its address with the same numbers, so that all of
// them accept the same values and refuse the same mistakes in the same words: the words and
// their figures come from the option table (options.toml).
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "options/option.h"

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

// "WxH" or "WXH", each side a whole number from smallest to largest.
std::optional<std::pair<std::int32_t, std::int32_t>>
parse_size(std::string_view text, std::int32_t smallest, std::int32_t largest);

// A plain decimal number ("1", "1.5", "2"): digits with at most one point between digits,
// from low to high. No sign, exponent, hex, nan or inf.
std::optional<double> parse_decimal(std::string_view text, double low, double high);

// A word as an error line repeats it: control characters (a newline, an escape sequence)
// are written as \n, \t, \r or \xNN, so that whatever a caller passes, the line stays one
// line and cannot steer the terminal.
std::string printable(std::string_view word);

// A refused word as every refusal shows it: printable, in double quotes. Called as
// roses::quoted: given a std::string, argument-dependent lookup also finds std::quoted, which
// GCC 14's library makes the better match.
std::string quoted(std::string_view word);

// The line that refuses a value: `--size needs WxH, not "0x0"`, or without the value when
// none was given.
std::string needs(std::string_view name, std::string_view what,
                  std::optional<std::string_view> value);

// The name of an option word without its one or two dashes and without "=value"; empty for a
// word that is no option.
std::string_view option_name(std::string_view word);

// A value as the option takes it; none when it is not one.
template <typename T> std::optional<T> whole_value(const option& wanted, std::string_view text) {
    const auto value = parse_number<T>(text);
    if (!value || std::cmp_less(*value, wanted.low) || std::cmp_greater(*value, wanted.high)) {
        return std::nullopt;
    }
    return value;
}
std::optional<std::int32_t> choice_value(const option& wanted, std::string_view text);
std::optional<double> decimal_value(const option& wanted, std::string_view text);
std::optional<std::pair<std::int32_t, std::int32_t>> size_value(const option& wanted,
                                                                std::string_view text);

// The entry of the table that a word names for a program, by its name or alias: a flag only
// without "=value". None for a word that the program does not take.
const option* find_option(std::span<const option* const> table, unsigned program,
                          std::string_view name, bool with_value);

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

// Walks the words after the program name, one option at a time, each looked up in the table
// among the options of its program.
class option_reader {
  public:
    option_reader(int argc, const char* const* argv, const command_line& program)
        : argc(argc), argv(argv), program(program) {}

    // Moves to the next word; false when none is left.
    bool next();
    // The word as it was typed, "--size=10x10" say.
    std::string_view word() const { return current; }
    // A dash and at least one more character.
    bool is_option() const { return current.size() >= 2 && current[0] == '-'; }
    // The option's name without its dashes and without "=value".
    std::string_view name() const { return name_; }
    // The word is this option of the table.
    bool is(const option& wanted) const { return known == &wanted; }
    // The option as it was typed, without "=value": what messages repeat.
    std::string spelled() const;
    // The value after "=", else the next word, which it consumes; none at the end.
    std::optional<std::string_view> value();
    // The value as the option takes it; none when it is missing or not one.
    template <typename T> std::optional<T> whole() {
        const auto text = value();
        return text && known ? whole_value<T>(*known, *text) : std::nullopt;
    }
    std::optional<std::int32_t> choice();
    std::optional<double> decimal();
    std::optional<std::pair<std::int32_t, std::int32_t>> size();

    // The line that refuses the option's value with the table's wording: `--size needs <what
    // the table says>, not "0x0"`, or without the value when none was given.
    std::string needs() const;
    // The line that refuses the current word: `unknown option "--frobnicate" (try --help)`,
    // or `unexpected argument "stray"` for a word that is no option.
    std::string refusal() const;

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
    const command_line& program;
    const option* known = nullptr;
};

} // namespace roses
