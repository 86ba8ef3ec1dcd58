// A run on simulated time, the same on every machine and in every host that makes one (the
// headless renderer, the page's check mode): from its seed, scenes without workers, and each
// step one tick of every garden, then one frame of every scene, each in the order of
// the monitors, with every garden's events recorded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "events/events_log.h"
#include "scene/frame_clock.h"
#include "scene/monitor_scenes.h"

namespace roses {

// How many frames a run of that many steps has at fps.
std::int64_t frames_in_steps(std::int64_t steps, std::int32_t fps);

class recorded_run {
  public:
    // Reseeds the random sources when a seed is given, lays the scenes out in the current GL
    // context and writes the start lines to events (nothing when it is null). No monitors:
    // one scene for the whole picture, whose lines name no monitor.
    recorded_run(std::FILE* events, std::optional<std::uint32_t> seed,
                 std::vector<monitor_rect> monitors, const window_geometry& window);
    // The gardens' event handlers point here.
    recorded_run(const recorded_run&) = delete;
    recorded_run& operator=(const recorded_run&) = delete;

    // The next step and its frame (draw at 1); the first is step 1.
    void step();
    // The next step alone: every garden's tick, then every scene's step.
    void take_step();
    // A view of every scene between the last two steps (monitor_scenes::draw). The picture
    // stays in the buffer from one frame to the next, so each clears only what changed, as a
    // display host's frames do.
    void draw(double f) {
        scenes.draw(f, frames_drawn == 0 ? 0 : 1);
        ++frames_drawn;
    }

    std::int64_t steps() const { return events.step; }
    // The errno of the first event line that could not be written, or 0.
    int write_error() const { return events.write_error(); }

  private:
    events_log events;
    monitor_scenes scenes{false};
    std::int64_t frames_drawn = 0;
};

} // namespace roses
