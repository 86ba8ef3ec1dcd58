// When a host steps its scenes and when it draws them: one rule for every host. The host
// tells it the time, in whatever ticks it counts (nanoseconds of a monotonic clock, a
// browser's animation timestamps, the headless renderer's simulated time), and it answers;
// it reads no clock and makes no call of its own, so a test can drive it with a fake one.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace roses {

// The simulation's step: the garden's tick, the cull and the camera's move. A seed's run is
// made of these, whatever frames are drawn between them.
inline constexpr std::chrono::milliseconds step_period{50};
inline constexpr std::int32_t steps_per_second =
    static_cast<std::int32_t>(std::chrono::seconds(1) / step_period);

// How often a surface is drawn.
struct frame_pacing {
    // One frame a step, showing the step itself (f = 1); otherwise frames between the steps.
    bool once_a_step = true;
    // Between the steps: the shortest time from one frame to the next, in the clock's ticks;
    // 0 for every frame the display offers.
    std::int64_t frame_period = 0;
};

// The one decision of how often to draw. Without a cap (max_fps) a software renderer draws
// one frame a step, and any other renderer draws between the steps. A host that wakes
// itself for its frames, rather than being woken by its display, gives the most frames a
// second it may draw (display_rate); 0 for a host that draws at its display's signals.
// While the system saves power (on battery, say) saving_fps caps the frames over all of
// that. A rate of exactly one frame a step is drawn at the steps themselves.
frame_pacing choose_pacing(std::optional<std::int32_t> max_fps, std::string_view renderer,
                           std::int64_t ticks_per_second, double display_rate = 0.0,
                           std::optional<std::int32_t> saving_fps = std::nullopt);

class frame_clock {
  public:
    using ticks = std::int64_t;

    // The first step falls due at start; steps come step apart.
    frame_clock(ticks start, ticks step, frame_pacing pacing);

    // From the next step on, steps come this far apart (the page's reduced motion).
    void set_step(ticks step) { step_ticks = step; }
    // A new cap or a new default; the step times stay as they are.
    void set_pacing(frame_pacing pacing) { chosen = pacing; }
    const frame_pacing& pacing() const { return chosen; }

    // Whether a step is due at now, and if so the host takes it. Never more than one at a
    // time: after a stall (a stopped process, a hidden page) the steps start afresh from
    // now rather than catch up.
    bool take_step(ticks now);
    // Whether a surface that can be seen should be drawn at now, and if so the fraction f of
    // the way from the step before the last to the last, measured from when the last step
    // was due: the host draws it. Nothing when the frame would come too soon under the cap,
    // or would show nothing new; a redraw that is due is never too soon.
    std::optional<double> take_frame(ticks now);
    // The picture must be drawn again at the next chance, though no step came: its layout
    // changed, or its surface lost what it showed.
    void redraw() { redraw_due = true; }

    // When the next step falls due.
    ticks next_step() const { return step_due; }
    // The earliest time a frame is due, as long as no step comes first; nothing when no frame
    // would show anything new before the next step.
    std::optional<ticks> next_frame() const;
    // When a host that wakes itself next needs to: for the next step, and for the next frame
    // while its surface can be seen.
    ticks next_wake(ticks now, bool seen) const;

  private:
    ticks step_ticks;
    frame_pacing chosen;
    ticks step_due;
    // When the last step was due, and the time from it to the next one.
    ticks last_due = 0;
    ticks last_length = 1;
    bool stepped = false;
    // A step or a redraw that no frame shows yet.
    bool step_unshown = false;
    bool redraw_due = false;
    // The last frame: when, at which fraction, and when the next is due under the cap.
    std::optional<ticks> last_frame;
    double last_f = 0.0;
    ticks frame_due = 0;
};

} // namespace roses
