// The command line of the X11 host, in the conventions of XScreenSaver hacks that every
// Linux command line shares (common/option_reader.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/option_reader.h"
#include "linux/frame_options.h"

namespace roses {

// Where the frames go.
enum class x11_target {
    own_window, // a window of our own that anyone can watch and close
    window_id,  // a window someone else made (XScreenSaver's preview, a test)
    root,       // the window XScreenSaver names, else the root window
    saver,      // a full-screen window that closes on any input, like the Windows saver
};

inline constexpr std::int32_t default_window_width = 800;
inline constexpr std::int32_t default_window_height = 600;

struct x11_options : frame_options {
    x11_target target = x11_target::own_window;
    std::uint32_t window = 0; // with x11_target::window_id
    std::int32_t width = default_window_width;
    std::int32_t height = default_window_height;
    // Overrides the scale that the display's resources give (Xft.dpi / 96).
    std::optional<double> scale;
    bool version = false;
};

using x11_parse_result = parse_result<x11_options>;

[[nodiscard]] x11_parse_result parse_x11_options(int argc, const char* const* argv);

// An X window id, decimal or hexadecimal with "0x": nothing else, not 0, at most 32 bits.
std::optional<std::uint32_t> parse_window_id(std::string_view text);

// The usage text that --help prints.
std::string x11_usage();

} // namespace roses
