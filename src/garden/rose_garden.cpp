#include "garden/rose_garden.h"

#include <chrono>
#include <cstdio>

#include "garden/evaluate.h"
#include "random/random.h"

namespace roses {
namespace {

constexpr std::size_t slot_count = 2;
constexpr std::int32_t age_per_step = 3;
constexpr std::int32_t lifetime_per_point = 4;
// New roses are fairly saturated and bright.
constexpr double min_saturation = 0.6;
constexpr double saturation_span = 0.4;
constexpr double min_value = 0.75;
constexpr double value_span = 0.25;

} // namespace

rose_garden::rose_garden() : shapes(slot_count), slot_states(slot_count) {
    for (auto& state : slot_states) {
        state.store(slot_free);
    }
}

void rose_garden::report(const garden_event& event) const {
    if (on_event) {
        on_event(event);
    }
}

void rose_garden::tick() {
    plant_phase();
    search_phase();
    step_phase();
}

void rose_garden::plant_phase() {
    const std::int32_t live = rose_count.load();
    if (live >= max_roses) {
        return;
    }
    std::fprintf(stderr, "roses.size: %d < %d\n", static_cast<int>(live),
                 static_cast<int>(max_roses));
    std::fflush(stderr);
    std::size_t i = 0;
    while (i < slot_states.size() && slot_states[i].load() <= 0) {
        ++i;
    }
    if (i == slot_states.size()) {
        return;
    }
    const double d1 = uniform01();
    const double d2 = uniform01();
    const double d3 = uniform01();
    rgba colour{0, 0, 0, 255};
    hsv_to_rgb(d3, min_saturation + saturation_span * d2, min_value + value_span * d1,
               colour.data());
    // Built outside the lock: it reads only slot i, which no rose uses yet.
    const std::int32_t built_width = width.load();
    const std::int32_t built_height = height.load();
    auto planted =
        std::make_unique<rose>(&shapes[i], static_cast<std::int32_t>(i), colour,
                               static_cast<float>(built_width), static_cast<float>(built_height));
    std::lock_guard<std::mutex> guard(lock);
    // A new size stored meanwhile has laid out only the roses already in the list.
    if (width.load() != built_width || height.load() != built_height) {
        planted->layout(width.load(), height.load());
    }
    garden_event event{garden_event::kind::plant, static_cast<std::int32_t>(i)};
    event.subject = planted.get();
    roses.push_back(std::move(planted));
    rose_count.store(static_cast<std::int32_t>(roses.size()));
    slot_states[i].store(slot_taken);
    report(event);
}

void rose_garden::search_phase() {
    std::size_t i = 0;
    while (i < slot_states.size() && slot_states[i].load() != slot_free) {
        ++i;
    }
    if (i == slot_states.size()) {
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    std::int64_t candidates = 0;
    bool rejected = true;
    while (rejected) {
        const double d1 = uniform01();
        const double d2 = uniform01();
        const complex_f c = search_candidate(d1, d2);
        ++candidates;
        rejected = evaluate(shapes[i], c);
    }
    const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    slot_states[i].store(slot_ready);
    garden_event event{garden_event::kind::search, static_cast<std::int32_t>(i)};
    event.shape = &shapes[i];
    event.candidates = candidates;
    event.micros = spent.count();
    report(event);
}

void rose_garden::step_phase() {
    std::lock_guard<std::mutex> guard(lock);
    for (auto& live : roses) {
        if (live->wander()) {
            live->commit();
            garden_event event{garden_event::kind::commit, live->slot};
            event.shape = live->shape;
            event.subject = live.get();
            report(event);
        }
    }
}

void rose_garden::cull() {
    std::lock_guard<std::mutex> guard(lock);
    for (auto it = roses.begin(); it != roses.end();) {
        rose& aging = **it;
        aging.previous_age = aging.age;
        aging.age += age_per_step;
        if (aging.age >= lifetime_per_point * aging.count) {
            const std::int32_t slot = aging.slot;
            it = roses.erase(it);
            rose_count.store(static_cast<std::int32_t>(roses.size()));
            // Freed only once the rose is gone: the worker may search the slot at once.
            slot_states[static_cast<std::size_t>(slot)].store(slot_free);
            report(garden_event{garden_event::kind::retire, slot});
        } else {
            ++it;
        }
    }
}

} // namespace roses
