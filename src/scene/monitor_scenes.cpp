#include "scene/monitor_scenes.h"

#include <algorithm>
#include <utility>

#include "display/gl_headers.h"

namespace roses {
namespace {

monitor_rect clipped(const monitor_rect& r, std::int32_t width, std::int32_t height) {
    // 64-bit sums: a monitor far outside the window must not overflow on its way in.
    const std::int64_t left = std::max<std::int64_t>(r.x, 0);
    const std::int64_t top = std::max<std::int64_t>(r.y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{r.x} + r.width, width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{r.y} + r.height, height);
    if (right <= left || bottom <= top) {
        return {};
    }
    return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
            static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top),
            r.scale};
}

bool overlap(const monitor_rect& a, const monitor_rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

monitor_rect united(const monitor_rect& a, const monitor_rect& b) {
    const std::int32_t left = std::min(a.x, b.x);
    const std::int32_t top = std::min(a.y, b.y);
    const std::int32_t right = std::max(a.x + a.width, b.x + b.width);
    const std::int32_t bottom = std::max(a.y + a.height, b.y + b.height);
    // The strips stay as thick on the denser of two mirrored displays as anywhere else.
    return {left, top, right - left, bottom - top, std::max(a.scale, b.scale)};
}

} // namespace

std::vector<monitor_rect> separate_monitors(std::vector<monitor_rect> monitors,
                                            std::int32_t window_width, std::int32_t window_height) {
    std::vector<monitor_rect> result;
    for (const monitor_rect& given : monitors) {
        const monitor_rect inside = clipped(given, window_width, window_height);
        if (inside.width > 0) {
            result.push_back(inside);
        }
    }
    // A union can reach a rectangle it did not overlap before: merge until nothing changes.
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < result.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < result.size() && !merged; ++j) {
                if (overlap(result[i], result[j])) {
                    result[i] = united(result[i], result[j]);
                    result.erase(result.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                }
            }
        }
    }
    return result;
}

viewport_area monitor_scenes::area_of(const monitor_rect& monitor) const {
    return {monitor.x, window_height - (monitor.y + monitor.height), monitor.width, monitor.height};
}

void monitor_scenes::lay_out(std::vector<monitor_rect> given, std::int32_t window_width,
                             std::int32_t window_height_now, double window_scale) {
    monitors = separate_monitors(std::move(given), window_width, window_height_now);
    if (monitors.empty()) {
        monitors.push_back({0, 0, window_width, window_height_now, window_scale});
    }
    window_height = window_height_now;
    while (scenes.size() > monitors.size()) {
        scenes.pop_back();
    }
    while (scenes.size() < monitors.size()) {
        scenes.push_back(std::make_unique<saver_scene>(start_workers));
    }
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        scenes[i]->scale = monitors[i].scale;
    }

    const monitor_rect& first = monitors.front();
    whole_window = monitors.size() == 1 && first.x == 0 && first.y == 0 &&
                   first.width == window_width && first.height == window_height_now;
    std::int64_t covered = 0;
    for (const monitor_rect& monitor : monitors) {
        covered += std::int64_t{monitor.width} * monitor.height;
    }
    uncovered = covered < std::int64_t{window_width} * window_height_now;

    if (scissored) {
        glDisable(GL_SCISSOR_TEST);
        scissored = false;
    }
    if (whole_window) {
        set_projection(*scenes.front(), window_width, window_height_now);
        return;
    }
    // The whole window once, for what an earlier layout drew where no monitor is now.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        set_projection(*scenes[i], area_of(monitors[i]));
    }
    scissored = true;
}

void monitor_scenes::render() {
    if (whole_window) {
        render_frame(*scenes.front());
        return;
    }
    if (uncovered) {
        // With double buffering the back buffer holds an older frame, or nothing defined:
        // the gaps between monitors are cleared in every frame, not once.
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        use_viewport(area_of(monitors[i]));
        render_frame(*scenes[i]);
    }
}

} // namespace roses
