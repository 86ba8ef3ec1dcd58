// What a host does each time it wakes, the same on every host: the step that is due, then the
// frame that is due where the surface can be seen, and when to wake again. The host keeps
// what is its own: the display's events, the buffer it draws into, presenting, and waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "scene/frame_clock.h"
#include "scene/frame_damage.h"
#include "scene/monitor_layout.h"
#include "scene/monitor_scenes.h"

namespace roses {

class frame_step {
  public:
    using ticks = frame_clock::ticks;

    // How old the picture in the buffer that a frame is about to be drawn into is, in frames
    // (0 when nothing is known of it), so that the frame clears only what changed since; or
    // nothing when the host cannot draw now (its context cannot be made current), and the
    // frame is dropped. Asked only when a frame is due, as asking may cost a round trip or
    // fetch a new buffer. Without one every frame clears and draws the whole window.
    using buffer_age = std::function<std::optional<int>()>;

    // What one wake did.
    struct woken {
        bool stepped = false;
        // The frame that was due, at this fraction of the way from the step before the last
        // to the last; drawn unless the host could not draw.
        std::optional<double> f;
        bool drawn = false;
        // What the frame drawn changed against the one before, in GL's window coordinates:
        // what the host presents. Valid until the next frame.
        const std::vector<pixel_box>* changed = nullptr;
        // When the host needs to wake next: for the next step, and while its surface can be
        // seen, for the next frame. Never before now.
        ticks wake = 0;
    };

    // The scenes of one window, with steps step apart and frames as pacing says. Scenes
    // without workers (start_workers false) have every garden ticked at each step, in the
    // order of the monitors, before the scenes step: the window thread runs the worker's part
    // in lockstep (the headless renderer, the page, the damage check).
    frame_step(bool start_workers, ticks step, frame_pacing pacing);

    // The first step falls due at start. Without it, at the first wake.
    void start(ticks start);
    // From the next step on, steps come this far apart.
    void set_step(ticks step);
    // A new cap or a new default; the step times stay as they are.
    void set_pacing(frame_pacing pacing);

    // Lays the scenes out for the window's new size or monitors (monitor_scenes::lay_out),
    // and has the next frame show the new layout at once. Needs the window's GL context.
    void lay_out(std::vector<monitor_rect> monitors, const window_geometry& window);
    // What the window showed is gone (an expose, a window seen again): the next frame comes
    // at once and clears and presents all of it.
    void invalidate();

    // Whether the surface can be seen now: asked after the step, as asking may cost the host
    // round trips that the step should not wait for.
    using sight = std::function<bool()>;

    // The one call of a host's wake at now: the step that is due, then, where the surface
    // can be seen, the frame that is due, drawn into the buffer age tells of. A surface
    // nobody sees is not drawn and wakes only for the steps, which go on.
    woken wake(ticks now, const sight& seen, const buffer_age& age = {});

    // The two halves of wake, for the headless renderer, whose frame at the very tick a step
    // falls due shows the step before it whole and so comes before the step.
    bool step(ticks now);
    woken frame(ticks now, const buffer_age& age = {});

    monitor_scenes& scenes() { return window_scenes; }
    // Once started (by start or the first wake).
    const frame_clock& clock() const { return *pace; }
    // The steps taken so far; during a step's garden ticks, that step counted.
    std::uint64_t steps() const { return steps_taken; }

  private:
    monitor_scenes window_scenes;
    bool tick_gardens;
    ticks step_ticks;
    frame_pacing chosen;
    std::optional<frame_clock> pace;
    std::uint64_t steps_taken = 0;
    // A frame drawn whole changes the whole window.
    std::vector<pixel_box> whole_window;
};

} // namespace roses
