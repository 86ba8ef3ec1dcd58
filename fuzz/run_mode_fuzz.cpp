// The Windows command text, whatever the caller passes: the decision must read nothing past
// the text's end and must agree with a second, independent reading of the switch table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "win32/run_mode.h"

namespace {

using roses::run_choice;
using roses::run_mode;

// The number at the front of text, wrapped modulo 2^32.
std::uint32_t leading_number(std::string_view text) {
    std::uint64_t value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') {
            break;
        }
        value = (value * 10 + static_cast<std::uint64_t>(digit - '0')) % (1ull << 32);
    }
    return static_cast<std::uint32_t>(value);
}

std::string_view without_leading_spaces(std::string_view text) {
    const std::size_t at = text.find_first_not_of(' ');
    return at == std::string_view::npos ? std::string_view{} : text.substr(at);
}

run_choice expected_choice(std::string_view text) {
    const std::size_t at = text.find_first_not_of(" -/");
    if (at == std::string_view::npos) {
        return {run_mode::settings_alone, 0};
    }
    const std::string_view letter = text.substr(at, 1);
    const std::string_view rest = text.substr(at + 1);
    if (letter == "s" || letter == "S") {
        return {run_mode::full_screen, 0};
    }
    if (std::string_view("pPlL").find(letter) != std::string_view::npos) {
        return {run_mode::preview, leading_number(without_leading_spaces(rest))};
    }
    if (letter == "c" || letter == "C") {
        return {run_mode::settings, rest.starts_with(':') ? leading_number(rest.substr(1)) : 0};
    }
    if (letter == "a" || letter == "A") {
        return {run_mode::password_change, leading_number(without_leading_spaces(rest))};
    }
    return {run_mode::unusable, 0};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A heap copy of exactly the text and its terminator, so that any read past the end is
    // caught; the platform's text ends at its first NUL.
    std::vector<char> command(data, data + size);
    command.push_back('\0');
    const run_choice chosen = roses::choose_run_mode(command.data());
    const run_choice expected = expected_choice(std::string_view(command.data()));
    if (chosen.mode != expected.mode || chosen.window_number != expected.window_number) {
        std::abort();
    }
    return 0;
}
