// The whole saver's costs in simulated time, headless at full HD: the time render_frame
// takes per frame, the processor time of each worker tick (searches and wanders
// included) and the peak resident memory. One run of a minute is 1200 ticks and frames.
//
// Then the processor time of one monitor of that size against two side by side, each with
// a scene of its own, measured in the same run; what smooth edges cost, the same
// full-length rose drawn with 0 and with 4 samples a pixel in turn; and what clearing only
// the lines' cells saves over the simulated minute, against clearing all of every frame.
//
// Usage: roses_scene_bench [--seed=N] [--steps=N] [--width=N] [--height=N] [--full-length=1]
// (--full-length=1 plants a full-length rose first in the simulated minute too)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <span>
#include <vector>

#include <sys/resource.h>

#include "display/gl_headers.h"
#include "garden/evaluate.h"
#include "gl_context/egl_pbuffer_context.h"
#include "gl_context/multisample_buffer.h"
#include "random/random.h"
#include "scene/frame.h"
#include "scene/frame_damage.h"
#include "scene/monitor_scenes.h"
#include "scene/saver_scene.h"

namespace roses {
namespace {

double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// Every thread of the process: the ticks and frames, and Mesa's rasteriser threads too.
double process_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

double wall_ms() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct spread {
    double median = 0.0;
    double max = 0.0;
    double mean = 0.0;
};

spread spread_of(std::vector<double> values) {
    spread result;
    if (values.empty()) {
        return result;
    }
    std::sort(values.begin(), values.end());
    result.median = values[values.size() / 2];
    result.max = values.back();
    for (const double v : values) {
        result.mean += v / static_cast<double>(values.size());
    }
    return result;
}

long flag(int argc, char** argv, const char* name, long fallback) {
    const std::size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
            return std::strtol(argv[i] + length + 1, nullptr, 10);
        }
    }
    return fallback;
}

// Fills slot 0 with an accepted full-length shape drawn like the garden's search does, so
// that the first rose planted is the longest strip there is.
void plant_full_length_first(saver_scene& scene, std::uint32_t seed) {
    std::mt19937 engine(seed);
    rose_shape& shape = scene.garden.shapes[0];
    for (;;) {
        const double d1 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const double d2 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const complex_f c = search_candidate(d1, d2);
        if (!evaluate(shape, c) && shape.hops == rose_shape::default_max_hops) {
            break;
        }
    }
    scene.garden.slot_states[0].store(slot_ready);
}

// render_frame with one full-length rose whose whole strip is shown: planted by one tick,
// then aged to its point count, from where every point is drawn for the next 2/3 count
// frames. No further ticks, so no wander changes the strip.
spread full_rose_frames(std::int32_t width, std::int32_t height, std::uint32_t seed,
                        std::int32_t* points) {
    saver_scene scene(false);
    set_projection(scene, width, height);
    plant_full_length_first(scene, seed);
    scene.garden.tick();
    {
        const std::lock_guard<std::mutex> hold(scene.garden.lock);
        rose& shown = *scene.garden.roses.front();
        shown.age = shown.count;
        *points = shown.count;
    }
    std::vector<double> frames;
    for (int k = 0; k < 300; ++k) {
        const double start = wall_ms();
        render_frame(scene);
        glFinish();
        frames.push_back(wall_ms() - start);
    }
    return spread_of(frames);
}

// What a frame between the steps costs against a step, with the same full-length rose shown
// whole: the step alone (cull and camera, no drawing), a view between two steps, and the
// step's own frame, each the median of its wall milliseconds.
void step_and_view(std::int32_t width, std::int32_t height, std::uint32_t seed, double* step,
                   double* between, double* whole) {
    saver_scene scene(false);
    set_projection(scene, width, height);
    plant_full_length_first(scene, seed);
    scene.garden.tick();
    std::vector<double> steps;
    std::vector<double> views;
    std::vector<double> frames;
    for (int k = 0; k < 200; ++k) {
        {
            const std::lock_guard<std::mutex> hold(scene.garden.lock);
            rose& shown = *scene.garden.roses.front();
            shown.age = shown.count; // never retired while measured
        }
        double start = wall_ms();
        scene.step();
        steps.push_back(wall_ms() - start);
        start = wall_ms();
        draw_scene(scene, 0.5);
        glFinish();
        views.push_back(wall_ms() - start);
        start = wall_ms();
        render_frame(scene);
        glFinish();
        frames.push_back(wall_ms() - start);
    }
    *step = spread_of(steps).median;
    *between = spread_of(views).median;
    *whole = spread_of(frames).median;
}

// What knowing where a frame draws costs against drawing it, with the same full-length rose
// shown whole: the cells its strip reaches alone, a frame that clears only what changed in the
// buffer of the frame before, and a whole frame, each the median of its wall milliseconds.
void box_and_frames(std::int32_t width, std::int32_t height, std::uint32_t seed, double* box,
                    double* partial, double* whole) {
    saver_scene scene(false);
    set_projection(scene, width, height);
    plant_full_length_first(scene, seed);
    scene.garden.tick();
    const viewport_area area{0, 0, width, height};
    const projection p = projection_for(width, height);
    frame_damage damage;
    std::vector<double> boxes;
    std::vector<double> partials;
    std::vector<double> wholes;
    int boxes_drawn = 0;
    for (int k = 0; k < 200; ++k) {
        rose* shown = nullptr;
        {
            const std::lock_guard<std::mutex> hold(scene.garden.lock);
            shown = scene.garden.roses.front().get();
            shown->age = shown->count; // never retired while measured
        }
        scene.step();
        double start = wall_ms();
        const strip_range range = shown->shown_strip(shown->age);
        damage_grid drawn(box_of(area), frame_damage::cell);
        drawn.add_strip(
            std::span<const vertex>(&shown->vertices[static_cast<std::size_t>(range.first)],
                                    static_cast<std::size_t>(range.count)),
            scene.camera.view(), p, scene.line_width);
        boxes.push_back(wall_ms() - start);
        start = wall_ms();
        draw_scene(scene, 1.0, area, damage, 1);
        glFinish();
        partials.push_back(wall_ms() - start);
        // The partial frame leaves its scissor on; the whole one clears what the scissor
        // allows, so it must be off.
        glDisable(GL_SCISSOR_TEST);
        start = wall_ms();
        draw_scene(scene, 1.0);
        glFinish();
        wholes.push_back(wall_ms() - start);
        // The whole frame drew what the partial one did: the buffer still holds the frame
        // the damage remembers.
        boxes_drawn += drawn.empty() ? 0 : 1;
    }
    if (boxes_drawn == 0) {
        std::printf("the full-length rose covered no box\n");
    }
    *box = spread_of(boxes).median;
    *partial = spread_of(partials).median;
    *whole = spread_of(wholes).median;
}

// Processor milliseconds per simulated step (every garden's tick, then every scene's frame)
// of count monitors of width x height side by side, from the same seed.
double monitors_cpu_per_step(int count, std::int32_t width, std::int32_t height, std::uint32_t seed,
                             long steps) {
    reseed_random(seed);
    egl_pbuffer_context gl;
    if (!gl.create(width * count, height)) {
        return 0.0;
    }
    std::vector<monitor_rect> monitors;
    for (int i = 0; i < count; ++i) {
        monitors.push_back({i * width, 0, width, height});
    }
    monitor_scenes scenes(false);
    scenes.lay_out(monitors, {width * count, height});
    const double start = process_cpu_ms();
    for (long step = 0; step < steps; ++step) {
        for (std::size_t i = 0; i < scenes.count(); ++i) {
            scenes.scene(i).garden.tick();
        }
        scenes.render();
        glFinish();
    }
    return (process_cpu_ms() - start) / static_cast<double>(steps);
}

// Processor milliseconds per frame over a simulated minute of the saver, from the same seed:
// each frame cleared where the lines reach in a buffer that keeps the frame before (age 1,
// as a copying X11 host or a multisampled buffer draws), or whole (age 0). Over a whole life,
// not a full-length rose alone: a grown rose's lines cross more cells than a young one's.
double life_cpu_per_frame(std::int32_t width, std::int32_t height, std::uint32_t seed, long steps,
                          int age) {
    reseed_random(seed);
    egl_pbuffer_context gl;
    if (!gl.create(width, height)) {
        return 0.0;
    }
    saver_scene scene(false);
    set_projection(scene, width, height);
    const viewport_area area{0, 0, width, height};
    frame_damage damage;
    double cpu = 0.0;
    for (long step = 0; step < steps; ++step) {
        scene.garden.tick();
        scene.step();
        const double start = process_cpu_ms();
        draw_scene(scene, 1.0, area, damage, age);
        glFinish();
        cpu += process_cpu_ms() - start;
    }
    return cpu / static_cast<double>(std::max(1L, steps));
}

struct frame_cost {
    std::vector<double> wall;
    double cpu = 0.0;
    long frames = 0;
};

// Adds frames of one full-length rose shown whole, with that many samples a pixel, each
// frame resolved as a host resolves it before showing it: their wall milliseconds, and the
// processor time of the whole process (Mesa's rasteriser threads included). Each round has a
// context of its own, and the camera the same draws.
void add_frames_with_samples(std::int32_t width, std::int32_t height, std::uint32_t seed,
                             std::int32_t samples, int count, frame_cost& cost) {
    egl_pbuffer_context gl;
    if (!gl.create(width, height)) {
        return;
    }
    multisample_buffer buffer;
    buffer.create(samples, width, height);
    reseed_random(seed);
    saver_scene scene(false);
    set_projection(scene, width, height);
    plant_full_length_first(scene, seed);
    scene.garden.tick();
    const double cpu_start = process_cpu_ms();
    for (int k = 0; k < count; ++k) {
        {
            const std::lock_guard<std::mutex> hold(scene.garden.lock);
            rose& shown = *scene.garden.roses.front();
            shown.age = shown.count;
        }
        const double start = wall_ms();
        render_frame(scene);
        buffer.resolve();
        glFinish();
        cost.wall.push_back(wall_ms() - start);
    }
    cost.cpu += process_cpu_ms() - cpu_start;
    cost.frames += count;
}

int run(int argc, char** argv) {
    const auto seed = static_cast<std::uint32_t>(flag(argc, argv, "--seed", 1));
    const long steps = flag(argc, argv, "--steps", 1200);
    const auto width = static_cast<std::int32_t>(flag(argc, argv, "--width", 1920));
    const auto height = static_cast<std::int32_t>(flag(argc, argv, "--height", 1080));

    reseed_random(seed);
    egl_pbuffer_context gl;
    if (!gl.create(width, height)) {
        std::fprintf(stderr, "roses_scene_bench: %s\n", gl.error().c_str());
        return 1;
    }
    saver_scene scene(false);
    set_projection(scene, width, height);
    if (flag(argc, argv, "--full-length", 0) != 0) {
        plant_full_length_first(scene, seed);
    }
    std::vector<double> tick_cpu;
    std::vector<double> search_tick_cpu;
    std::vector<double> frame_all;
    std::vector<double> frame_full_length;
    std::int64_t searches = 0;
    scene.garden.on_event = [&searches](const garden_event& event) {
        searches += event.what == garden_event::kind::search ? 1 : 0;
    };
    for (long step = 0; step < steps; ++step) {
        const std::int64_t searched_before = searches;
        const double cpu_start = thread_cpu_ms();
        scene.garden.tick();
        const double tick_ms = thread_cpu_ms() - cpu_start;
        tick_cpu.push_back(tick_ms);
        if (searches != searched_before) {
            search_tick_cpu.push_back(tick_ms);
        }

        const double frame_start = wall_ms();
        render_frame(scene);
        glFinish();
        const double frame_ms = wall_ms() - frame_start;
        frame_all.push_back(frame_ms);
        // The frame's rose, read after the frame, on the thread that runs the worker too.
        if (!scene.garden.roses.empty() &&
            scene.garden.roses.front()->shape->hops == rose_shape::default_max_hops) {
            frame_full_length.push_back(frame_ms);
        }
    }

    std::int32_t points = 0;
    const spread full_rose = full_rose_frames(width, height, seed, &points);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const spread ticks = spread_of(tick_cpu);
    const spread search_ticks = spread_of(search_tick_cpu);
    const spread frames = spread_of(frame_all);
    const spread full = spread_of(frame_full_length);
    std::printf("seed %u, %ld steps at %dx%d\n", seed, steps, width, height);
    std::printf("tick cpu ms: median %.3f, max %.3f, mean %.3f (%lld searches; their ticks: "
                "median %.3f, max %.3f)\n",
                ticks.median, ticks.max, ticks.mean, static_cast<long long>(searches),
                search_ticks.median, search_ticks.max);
    std::printf("worker share of one processor at 20 ticks/s: %.2f%%\n", ticks.mean * 20 / 10);
    std::printf("render_frame ms, all frames: median %.3f, max %.3f\n", frames.median, frames.max);
    std::printf("render_frame ms, frames of a full-length rose (%zu): median %.3f, max %.3f\n",
                frame_full_length.size(), full.median, full.max);
    std::printf("render_frame ms, one full-length rose (%d points) shown whole: median %.3f, "
                "max %.3f\n",
                points, full_rose.median, full_rose.max);
    std::printf("peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);

    double step = 0.0;
    double between = 0.0;
    double whole = 0.0;
    step_and_view(width, height, seed, &step, &between, &whole);
    std::printf("ms with one full-length rose shown whole: a step %.3f, a frame between two "
                "steps %.3f, a step and its frame (render_frame) %.3f\n",
                step, between, whole);

    double box = 0.0;
    double partial = 0.0;
    box_and_frames(width, height, seed, &box, &partial, &whole);
    std::printf("ms with one full-length rose shown whole: the box it covers %.3f, a frame "
                "clearing only what changed %.3f, a frame clearing all %.3f\n",
                box, partial, whole);
    double partial_life = 0.0;
    double whole_life = 0.0;
    for (int round = 0; round < 2; ++round) {
        partial_life += life_cpu_per_frame(width, height, seed, steps, 1) / 2;
        whole_life += life_cpu_per_frame(width, height, seed, steps, 0) / 2;
    }
    std::printf("processor ms per frame over the %ld steps, in turn: clearing only where the lines "
                "reach %.3f, clearing all %.3f (%.2fx)\n",
                steps, partial_life, whole_life,
                whole_life > 0.0 ? partial_life / whole_life : 0.0);
    frame_cost aliased;
    frame_cost smooth;
    for (int round = 0; round < 5; ++round) {
        add_frames_with_samples(width, height, seed, 0, 60, aliased);
        add_frames_with_samples(width, height, seed, 4, 60, smooth);
    }
    const double aliased_cpu = aliased.cpu / static_cast<double>(std::max(1L, aliased.frames));
    const double smooth_cpu = smooth.cpu / static_cast<double>(std::max(1L, smooth.frames));
    std::printf("ms per frame of one full-length rose shown whole, samples 0 against 4 in turn: "
                "wall median %.3f against %.3f, processor %.3f against %.3f (%.2fx)\n",
                spread_of(aliased.wall).median, spread_of(smooth.wall).median, aliased_cpu,
                smooth_cpu, aliased_cpu > 0.0 ? smooth_cpu / aliased_cpu : 0.0);

    const double one = monitors_cpu_per_step(1, width, height, seed, steps);
    const double two = monitors_cpu_per_step(2, width, height, seed, steps);
    std::printf("processor ms per step, one %dx%d monitor: %.3f; two side by side: %.3f "
                "(%.2fx)\n",
                width, height, one, two, one > 0.0 ? two / one : 0.0);
    return 0;
}

} // namespace
} // namespace roses

int main(int argc, char** argv) {
    return roses::run(argc, argv);
}
