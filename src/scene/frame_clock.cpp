#include "scene/frame_clock.h"

#include <algorithm>
#include <cmath>

#include "scene/software_renderer.h"

namespace roses {

frame_pacing choose_pacing(std::optional<std::int32_t> max_fps, std::string_view renderer,
                           std::int64_t ticks_per_second, double display_rate,
                           std::optional<std::int32_t> saving_fps) {
    // On a software renderer every frame costs the processor: one a step unless asked.
    const bool steps_only = !max_fps && software_renderer(renderer);
    double rate = steps_only ? static_cast<double>(steps_per_second) : display_rate;
    for (const auto cap : {max_fps, saving_fps}) {
        if (cap && *cap > 0) {
            rate =
                rate > 0.0 ? std::min(rate, static_cast<double>(*cap)) : static_cast<double>(*cap);
        }
    }
    // One frame a step is drawn at the steps themselves: the same rate, with no wake-ups of
    // its own between them.
    if (rate == static_cast<double>(steps_per_second)) {
        return {};
    }
    frame_pacing pacing;
    pacing.once_a_step = false;
    pacing.frame_period =
        rate > 0.0 ? std::llround(static_cast<double>(ticks_per_second) / rate) : 0;
    return pacing;
}

frame_clock::frame_clock(ticks start, ticks step, frame_pacing pacing)
    : step_ticks(step), chosen(pacing), step_due(start) {}

bool frame_clock::take_step(ticks now) {
    if (now < step_due) {
        return false;
    }
    // A whole step late means the next one is due too: start afresh rather than run the
    // missed steps back to back.
    const ticks due = now - step_due >= step_ticks ? now : step_due;
    last_due = due;
    last_length = step_ticks;
    step_due = due + step_ticks;
    stepped = true;
    step_unshown = true;
    return true;
}

std::optional<double> frame_clock::take_frame(ticks now) {
    if (!stepped) {
        return std::nullopt;
    }
    const bool fresh = step_unshown || redraw_due;
    double f = 1.0;
    if (!chosen.once_a_step) {
        // Until the next step the picture moves on; once a late step's frames have reached
        // the step itself, nothing changes until it comes.
        if (!fresh && last_frame && (last_f >= 1.0 || now <= *last_frame)) {
            return std::nullopt;
        }
        const ticks period = chosen.frame_period;
        // Half a period of slack: a display's frames never come exactly on time, and one a
        // little early must not wait a whole display frame more. A redraw waits for nothing:
        // until it comes the surface shows black (a resized canvas, an exposed window).
        if (!redraw_due && period > 0 && last_frame && now < frame_due - period / 2) {
            return std::nullopt;
        }
        // The next frame is counted from when this one was due, so that the frames keep the
        // cap's rate on average whatever the display's rate; after a stall, from now.
        frame_due = !last_frame || now - frame_due > period ? now + period : frame_due + period;
        f = std::min(1.0, static_cast<double>(now - last_due) / static_cast<double>(last_length));
    } else if (!fresh) {
        return std::nullopt;
    }
    last_frame = now;
    last_f = f;
    step_unshown = false;
    redraw_due = false;
    return f;
}

std::optional<frame_clock::ticks> frame_clock::next_frame() const {
    if (!stepped) {
        return std::nullopt;
    }
    const bool fresh = step_unshown || redraw_due;
    if (chosen.once_a_step || !last_frame) {
        return fresh ? std::optional<ticks>(last_due) : std::nullopt;
    }
    if (!fresh && last_f >= 1.0) {
        return std::nullopt;
    }
    // A redraw is due at once, whatever the cap.
    if (redraw_due) {
        return *last_frame;
    }
    const ticks period = chosen.frame_period;
    return period > 0 ? frame_due - period / 2 : *last_frame + 1;
}

frame_clock::ticks frame_clock::next_wake(ticks now, bool seen) const {
    ticks wake = step_due;
    if (seen) {
        if (const auto frame = next_frame()) {
            wake = std::min(wake, *frame);
        }
    }
    return std::max(wake, now);
}

} // namespace roses
