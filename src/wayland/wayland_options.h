// The command line of the Wayland host: which layer to draw on, and the options it shares
// with the other Linux hosts, in the same conventions (one or two dashes, "=value" or the
// next word).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "options/frame_options.h"
#include "options/option_reader.h"

namespace roses {

enum class wayland_layer {
    saver,      // over everything, taking the keyboard; any input ends it
    background, // under every window; only a stop signal ends it
};

struct wayland_options : frame_options {
    wayland_layer layer = wayland_layer::saver;
};

using wayland_parse_result = parse_result<wayland_options>;

[[nodiscard]] wayland_parse_result parse_wayland_options(int argc, const char* const* argv);

} // namespace roses
