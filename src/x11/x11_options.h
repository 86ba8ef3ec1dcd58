// The command line of the X11 host, in the conventions of XScreenSaver hacks that every
// Linux command line shares (options/option_reader.h); its options are the table's
// (options/options.toml).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "options/frame_options.h"
#include "options/option_reader.h"
#include "options/option_table.h"

namespace roses {

// Where the frames go.
enum class x11_target {
    own_window, // a window of our own that anyone can watch and close
    window_id,  // a window someone else made (XScreenSaver's preview, a test)
    root,       // the window XScreenSaver names, else the root window
    saver,      // a full-screen window that closes on any input, like the Windows saver
};

inline constexpr auto default_window_width =
    static_cast<std::int32_t>(options::window_size.default_value);
inline constexpr auto default_window_height =
    static_cast<std::int32_t>(options::window_size.default_height);

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

} // namespace roses
