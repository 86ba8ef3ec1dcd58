// Where the monitors of a window are and which scene each one keeps: plain geometry, with no
// GL, so that whatever reads or writes monitor lists (command lines, event lines, the
// platforms' monitor queries) can use it without drawing anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace roses {

// A monitor whose host cannot tell its scale: it takes its window's.
inline constexpr double unknown_scale = 0.0;

// A monitor's rectangle in window pixels, as windowing systems report them: x to the right
// and y down from the window's top-left corner.
struct monitor_rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Device pixels per ordinary pixel on this monitor (1 at 96 DPI), for the width of the
    // strips drawn there.
    double scale = unknown_scale;
    // The platform's own name for the monitor where it has one (a RandR monitor's name, a
    // display device's), so that a monitor that moves is still known; 0 where there is none
    // and the rectangle is all that tells one monitor from another.
    std::uint64_t identity = 0;

    friend bool operator==(const monitor_rect&, const monitor_rect&) = default;
};

// The window that the monitors lie in: its size in pixels and the scale of the display it is
// on, which every monitor without a scale of its own takes.
struct window_geometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    double scale = 1.0;
};

// The two rectangles share at least one pixel. Here, so that what only reads a monitor list
// (a command line) needs no library of the core.
inline bool overlap(const monitor_rect& a, const monitor_rect& b) {
    return std::int64_t{a.x} < std::int64_t{b.x} + b.width &&
           std::int64_t{b.x} < std::int64_t{a.x} + a.width &&
           std::int64_t{a.y} < std::int64_t{b.y} + b.height &&
           std::int64_t{b.y} < std::int64_t{a.y} + a.height;
}

// The monitors as scenes should see them: each given its window's scale when it has none of
// its own, cut to the window, the empty ones dropped, and the ones that overlap (a mirrored
// projector, a cloned output) united into the rectangle around them, which takes the place,
// the identity and the larger scale of the first of them. No monitor at all stands for one
// that covers the window.
std::vector<monitor_rect> unite_monitors(std::vector<monitor_rect> monitors,
                                         const window_geometry& window);

// Which of the monitors before a change each monitor after it continues, by index, or none
// for a new monitor: the one of the same identity, else (where neither names one) the one of
// the same rectangle, else the first one left over when neither side has an identity (a
// window that was resized). A monitor that nothing continues has gone away.
std::vector<std::optional<std::size_t>> match_monitors(const std::vector<monitor_rect>& before,
                                                       const std::vector<monitor_rect>& after);

} // namespace roses
