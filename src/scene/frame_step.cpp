#include "scene/frame_step.h"

#include <utility>

namespace roses {

frame_step::frame_step(bool start_workers, ticks step, frame_pacing pacing)
    : window_scenes(start_workers), tick_gardens(!start_workers), step_ticks(step), chosen(pacing) {
}

void frame_step::start(ticks start) {
    pace.emplace(start, step_ticks, chosen);
}

void frame_step::set_step(ticks step) {
    step_ticks = step;
    if (pace) {
        pace->set_step(step);
    }
}

void frame_step::set_pacing(frame_pacing pacing) {
    chosen = pacing;
    if (pace) {
        pace->set_pacing(pacing);
    }
}

void frame_step::lay_out(std::vector<monitor_rect> monitors, const window_geometry& window) {
    window_scenes.lay_out(std::move(monitors), window);
    whole_window.assign(1, {0, 0, window.width, window.height});
    // Before the clock starts there is nothing to draw again: the first step's frame is due
    // anyway.
    if (pace) {
        pace->redraw();
    }
}

void frame_step::invalidate() {
    window_scenes.invalidate();
    if (pace) {
        pace->redraw();
    }
}

bool frame_step::step(ticks now) {
    if (!pace) {
        start(now);
    }
    if (!pace->take_step(now)) {
        return false;
    }
    ++steps_taken;
    for (std::size_t i = 0; tick_gardens && i < window_scenes.count(); ++i) {
        window_scenes.scene(i).garden.tick();
    }
    window_scenes.step();
    return true;
}

frame_step::woken frame_step::frame(ticks now, const buffer_age& age) {
    if (!pace) {
        start(now);
    }
    woken result;
    result.f = pace->take_frame(now);
    if (!result.f) {
        return result;
    }
    if (!age) {
        window_scenes.draw(*result.f);
        result.changed = &whole_window;
    } else if (const auto frames_old = age()) {
        result.changed = &window_scenes.draw(*result.f, *frames_old);
    } else {
        return result;
    }
    result.drawn = true;
    return result;
}

frame_step::woken frame_step::wake(ticks now, const sight& seen, const buffer_age& age) {
    const bool stepped = step(now);
    const bool shown = seen();
    woken result = shown ? frame(now, age) : woken{};
    result.stepped = stepped;
    result.wake = pace->next_wake(now, shown);
    return result;
}

} // namespace roses
