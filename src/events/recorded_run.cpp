#include "events/recorded_run.h"

#include <utility>

#include "random/random.h"
#include "scene/frame.h"

namespace roses {

recorded_run::recorded_run(std::FILE* file, std::optional<std::uint32_t> seed,
                           std::vector<monitor_rect> monitors, const window_geometry& window,
                           ticks step_ticks, frame_pacing pacing)
    : events(file), frames(false, step_ticks, pacing),
      age([this]() -> std::optional<int> { return frames_drawn++ == 0 ? 0 : 1; }) {
    if (seed) {
        reseed_random(*seed);
    }
    const bool one_picture = monitors.empty();
    frames.lay_out(std::move(monitors), window);
    frames.start(0);
    monitor_scenes& scenes = frames.scenes();
    if (one_picture) {
        scenes.scene(0).garden.on_event = [this](const garden_event& event) {
            events.record(event, steps());
        };
        events.start(random_seed(), window.width, window.height,
                     projection_for(window.width, window.height));
        return;
    }
    for (std::size_t i = 0; i < scenes.count(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        scenes.scene(i).garden.on_event = [this, index](const garden_event& event) {
            events.record(event, steps(), index);
        };
        const monitor_rect& place = scenes.monitor(i);
        events.start(random_seed(), index, place, projection_for(place.width, place.height));
    }
}

std::int64_t frames_in_steps(std::int64_t steps, std::int32_t fps) {
    // Split so that no product overflows for any number of steps.
    return steps / steps_per_second * fps + steps % steps_per_second * fps / steps_per_second;
}

void recorded_run::step() {
    frames.wake(
        next_step(), [] { return true; }, age);
}

void recorded_run::draw(double f) {
    frames.scenes().draw(f, *age());
}

} // namespace roses
