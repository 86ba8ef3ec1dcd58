// The command line of the Wayland host: which layer to draw on, and the options it shares
// with the other Linux hosts, in the same conventions (one or two dashes, "=value" or the
// next word).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace roses {

enum class wayland_layer {
    saver,      // over everything, taking the keyboard; any input ends it
    background, // under every window; only a stop signal ends it
};

struct wayland_options {
    wayland_layer layer = wayland_layer::saver;
    std::optional<std::uint32_t> seed;
    bool help = false;
};

struct wayland_parse_result {
    wayland_options options;
    std::string error; // empty when the command line is usable
};

wayland_parse_result parse_wayland_options(int argc, char** argv);

// The usage text that -wayland -help prints.
std::string wayland_usage();

} // namespace roses
