// One entry of the option table: what options.toml declares of an option, as the parsers use
// it. The entries themselves are made from the table at build time (options/option_table.h),
// so the range a parser checks and the range its help, manual page and settings show are the
// same numbers.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace roses {

enum class option_kind {
    flag,    // no value: "-root", never "-root=1"
    whole,   // a whole number from low to high
    choice,  // one of choices
    decimal, // a plain decimal number from low to high
    size,    // WxH, each side from low to high
    text,    // any value, read by its host
    path,    // a value that is not empty
};

// The programs that read options, as the bits of option::programs.
inline constexpr unsigned x11_program = 1;
inline constexpr unsigned wayland_program = 2;
inline constexpr unsigned headless_program = 4;
inline constexpr unsigned page_program = 8;

struct option {
    std::string_view name;  // without its dashes; on the page, the key
    std::string_view alias; // another name it answers to ("h" for "help"), or empty
    option_kind kind;
    unsigned programs;
    std::uint64_t low;
    std::uint64_t high;
    std::span<const std::int32_t> choices;
    // What a refusal says the value must be, after "needs".
    std::string_view needs;
    // The default of a number, or the width of a size.
    std::int64_t default_value;
    // The height of a default size.
    std::int64_t default_height;
};

// A program's command line: which options it takes, what its -help prints and what a refusal
// of an unknown word points at.
struct command_line {
    unsigned program;
    std::string_view usage;
    std::string_view try_help;
};

} // namespace roses
