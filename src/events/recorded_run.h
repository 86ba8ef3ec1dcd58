// A run on simulated time, the same on every machine and in every host that makes one (the
// headless renderer, the page's check mode): from its seed, scenes without workers, and each
// step one tick of every garden, then the step of every scene, each in the order of the
// monitors, with every garden's events recorded; frames as its clock says.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "events/events_log.h"
#include "scene/frame_clock.h"
#include "scene/frame_step.h"

namespace roses {

// How many frames a run of that many steps has at fps.
std::int64_t frames_in_steps(std::int64_t steps, std::int32_t fps);

class recorded_run {
  public:
    using ticks = frame_clock::ticks;

    // Reseeds the random sources when a seed is given, lays the scenes out in the current GL
    // context and writes the start lines to events (nothing when it is null). No monitors:
    // one scene for the whole picture, whose lines name no monitor. The first step falls due
    // at 0 on the run's simulated time and the next ones step_ticks apart; frames come as
    // pacing says, by default each step's own.
    recorded_run(std::FILE* events, std::optional<std::uint32_t> seed,
                 std::vector<monitor_rect> monitors, const window_geometry& window,
                 ticks step_ticks = 1, frame_pacing pacing = {});
    // The gardens' event handlers point here.
    recorded_run(const recorded_run&) = delete;
    recorded_run& operator=(const recorded_run&) = delete;

    // The next step and the frame then due (at f = 1 under the default pacing); the first is
    // step 1.
    void step();
    // The step due at now, if there is one.
    bool take_step(ticks now) { return frames.step(now); }
    // The frame due at now, if there is one, and its f. The picture stays in the buffer from
    // one frame to the next, so each clears only what changed, as a display host's frames do.
    std::optional<double> take_frame(ticks now) { return frames.frame(now, age).f; }
    // A view of every scene at f between the last two steps, whatever the clock says.
    void draw(double f);

    ticks next_step() const { return frames.clock().next_step(); }
    std::int64_t steps() const { return static_cast<std::int64_t>(frames.steps()); }
    // The errno of the first event line that could not be written, or 0.
    int write_error() const { return events.write_error(); }

  private:
    events_log events;
    frame_step frames;
    std::int64_t frames_drawn = 0;
    // The buffer holds the frame drawn last, once there is one.
    frame_step::buffer_age age;
};

} // namespace roses
