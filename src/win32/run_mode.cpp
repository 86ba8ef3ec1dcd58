#include "win32/run_mode.h"

namespace roses {
namespace {

// Only the space character separates a switch letter from its number.
const char* skip_spaces(const char* text) {
    while (*text == ' ') {
        ++text;
    }
    return text;
}

} // namespace

run_choice choose_run_mode(const char* command) {
    for (const char* at = command;; ++at) {
        switch (*at) {
        case '\0':
            return {run_mode::settings_alone, 0};
        case ' ':
        case '-':
        case '/':
            continue;
        case 'S':
        case 's':
            return {run_mode::full_screen, 0};
        case 'P':
        case 'p':
        case 'L':
        case 'l':
            return {run_mode::preview, parse_window_handle(skip_spaces(at + 1))};
        case 'C':
        case 'c':
            // The number follows a colon directly; "/c 5" names no window.
            return {run_mode::settings, at[1] == ':' ? parse_window_handle(at + 2) : 0};
        case 'A':
        case 'a':
            return {run_mode::password_change, parse_window_handle(skip_spaces(at + 1))};
        default:
            return {run_mode::unusable, 0};
        }
    }
}

std::uint32_t parse_window_handle(const char* text) {
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    }
    return value;
}

} // namespace roses
