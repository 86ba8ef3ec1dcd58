#include "scene/monitor_scenes.h"

#include <utility>

#include "display/gl_headers.h"

namespace roses {

viewport_area monitor_scenes::area_of(const monitor_rect& monitor) const {
    return {monitor.x, window_height - (monitor.y + monitor.height), monitor.width, monitor.height};
}

void monitor_scenes::lay_out(std::vector<monitor_rect> given, const window_geometry& window) {
    std::vector<monitor_rect> now = unite_monitors(std::move(given), window);
    const auto continued = match_monitors(monitors, now);
    std::vector<std::unique_ptr<saver_scene>> kept(now.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (continued[i]) {
            kept[i] = std::move(scenes[*continued[i]]);
        }
    }
    // What is left are the scenes of monitors that went away: only they stop.
    scenes.clear();
    for (auto& scene : kept) {
        if (!scene) {
            scene = std::make_unique<saver_scene>(start_workers);
        }
    }
    scenes = std::move(kept);
    monitors = std::move(now);
    window_width = window.width;
    window_height = window.height;
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        scenes[i]->scale = monitors[i].scale;
    }

    const monitor_rect& first = monitors.front();
    whole_window = monitors.size() == 1 && first.x == 0 && first.y == 0 &&
                   first.width == window.width && first.height == window.height;
    std::int64_t covered = 0;
    for (const monitor_rect& monitor : monitors) {
        covered += std::int64_t{monitor.width} * monitor.height;
    }
    uncovered = covered < std::int64_t{window.width} * window.height;

    damages.assign(scenes.size(), frame_damage{});
    whole_clear_due = true;
    if (scissored) {
        glDisable(GL_SCISSOR_TEST);
        scissored = false;
    }
    if (whole_window) {
        set_projection(*scenes.front(), window.width, window.height);
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
    step();
    draw(1.0);
}

void monitor_scenes::step() {
    for (auto& scene : scenes) {
        scene->step();
    }
}

void monitor_scenes::draw(double f) {
    if (whole_window) {
        draw_scene(*scenes.front(), f);
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
        draw_scene(*scenes[i], f);
    }
}

const std::vector<pixel_box>& monitor_scenes::draw(double f, int buffer_age) {
    changed.clear();
    const bool whole = whole_clear_due || buffer_age <= 0;
    if (uncovered && whole) {
        // The gaps between monitors hold nothing a frame draws: cleared with the whole
        // window only.
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        const viewport_area area = area_of(monitors[i]);
        if (!whole_window) {
            use_viewport(area);
        }
        if (whole) {
            damages[i].invalidate();
        }
        for (const pixel_box& box : draw_scene(*scenes[i], f, area, damages[i], buffer_age)) {
            if (!box.empty()) {
                changed.push_back(box);
            }
        }
    }
    if (uncovered && whole) {
        // The gaps changed too.
        changed.assign(1, {0, 0, window_width, window_height});
    }
    if (whole_window) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        scissored = true;
    }
    whole_clear_due = false;
    return changed;
}

void monitor_scenes::invalidate() {
    whole_clear_due = true;
}

} // namespace roses
