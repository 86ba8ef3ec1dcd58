// What the page's address asks for: a seed, and the check mode that mirrors the headless
// renderer's options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "options/option_table.h"

namespace roses {

struct page_query {
    std::optional<std::uint32_t> seed;
    // Check mode: the bare key "events" in the query.
    bool check = false;
    std::int32_t width = static_cast<std::int32_t>(options::page::picture_size.default_value);
    std::int32_t height = static_cast<std::int32_t>(options::page::picture_size.default_height);
    // Thirty simulated seconds, as the headless renderer runs.
    std::int64_t frames = options::page::frames.default_value;
    // ?fps=N: frames a second at most; without it the display's rate (one frame a step on a
    // software renderer).
    std::optional<std::int32_t> fps;
    // ?samples=N: 0 for aliased edges, 4 for smoothed ones (WebGL's antialias, with as many
    // samples as the browser takes); without it, the renderer's default, and none in check
    // mode, as in the headless renderer.
    std::optional<std::int32_t> samples;
    // ?battery-fps=N: frames a second at most while the battery discharges, over any other
    // cap; one a step unless told.
    std::int32_t battery_fps = static_cast<std::int32_t>(options::page::battery_fps.default_value);
};

// Reads a query ("?seed=3&events", with or without its question mark). Returns an empty
// string, or one line that says what is wrong. A live page shows that line as a warning
// and goes on from the clock; a check run stops with it.
std::string parse_page_query(std::string_view text, page_query& query);

} // namespace roses
