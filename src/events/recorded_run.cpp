#include "events/recorded_run.h"

#include <utility>

#include "random/random.h"
#include "scene/frame.h"

namespace roses {

recorded_run::recorded_run(std::FILE* file, std::optional<std::uint32_t> seed,
                           std::vector<monitor_rect> monitors, const window_geometry& window)
    : events(file) {
    if (seed) {
        reseed_random(*seed);
    }
    const bool one_picture = monitors.empty();
    scenes.lay_out(std::move(monitors), window);
    if (one_picture) {
        scenes.scene(0).garden.on_event = [this](const garden_event& event) {
            events.record(event);
        };
        events.start(random_seed(), window.width, window.height,
                     projection_for(window.width, window.height));
        return;
    }
    for (std::size_t i = 0; i < scenes.count(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        scenes.scene(i).garden.on_event = [this, index](const garden_event& event) {
            events.record(event, index);
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
    take_step();
    draw(1.0);
}

void recorded_run::take_step() {
    ++events.step;
    for (std::size_t i = 0; i < scenes.count(); ++i) {
        scenes.scene(i).garden.tick();
    }
    scenes.step();
}

} // namespace roses
