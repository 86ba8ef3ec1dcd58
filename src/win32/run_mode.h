// The run-mode decision of the command line, apart from everything it then does: text in,
// mode and window number out. It touches no platform header, so it is built and fuzzed
// natively as well as linked into the Windows host.
#pragma once

#include <cstdint>

namespace roses {

enum class run_mode {
    // No switch at all: the settings dialog without a parent.
    settings_alone,
    // The settings dialog over the window the number names, else the foreground window.
    settings,
    full_screen,
    // Inside the window the number names; a number naming no window ends with -1.
    preview,
    // The legacy platform's password change over the window the number names, else the
    // foreground window; -1 elsewhere.
    password_change,
    // A switch letter the saver does not know: -1.
    unusable,
};

struct run_choice {
    run_mode mode;
    // Read after the switch letter where the mode takes one, else 0.
    std::uint32_t window_number;
};

// Only the first switch letter counts; whatever follows it and its number is ignored.
run_choice choose_run_mode(const char* command);

// Reads decimal digits from text; wraps modulo 2^32 and stops at the first non-digit.
std::uint32_t parse_window_handle(const char* text);

} // namespace roses
