// The scene without a display: the worker's pacing, sizes, and the projection and the
// default view it sets.
#include "random/random.h"
#include "scene/frame.h"
#include "scene/frame_clock.h"
#include "scene/frame_damage.h"
#include "scene/monitor_scenes.h"
#include "scene/saver_scene.h"
#include "scene/software_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <gtest/gtest.h>

namespace roses {
namespace {

double distance(const double* a, const double* b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

TEST(WorkerPacing, PadsShortTicksAndRestsFourTimesALongOne) {
    EXPECT_EQ(worker_pause_micros(0), 50000);
    EXPECT_EQ(worker_sleep_millis(0), 50);
    EXPECT_EQ(worker_sleep_millis(1000), 49);
    EXPECT_EQ(worker_sleep_millis(10000), 40);
    EXPECT_EQ(worker_sleep_millis(12500), 50);
    EXPECT_EQ(worker_sleep_millis(20000), 80);
    // Hours-long ticks neither overflow nor go without rest.
    EXPECT_EQ(worker_pause_micros(3600000000LL), 14400000000LL);
}

TEST(Projection, CheckValues) {
    const projection p = projection_for(800, 600);
    EXPECT_NEAR(p.fovy, 20.8131, 5e-5);
    EXPECT_EQ(p.aspect, 1.3333333333333333);
    EXPECT_EQ(p.eye[0], 400.0);
    EXPECT_EQ(p.eye[1], 300.0);
    EXPECT_EQ(p.eye[2], 1800.0);
    EXPECT_EQ(p.centre[2], -300.0);

    const projection wide = projection_for(1366, 768);
    EXPECT_NEAR(wide.fovy, 21.8444, 5e-5);
    EXPECT_EQ(wide.aspect, 1.7786458802673033); // from the single-precision height / width
    const projection hd = projection_for(1920, 1080);
    EXPECT_NEAR(hd.fovy, 21.8422, 5e-5);
    EXPECT_EQ(hd.aspect, 1.7777777777777777);

    // X11's -size takes up to 32767 on each side, where width^2 + 2 height^2 is past 2^31.
    const projection largest = projection_for(32767, 32767);
    EXPECT_TRUE(std::isfinite(largest.fovy));
    EXPECT_GT(largest.fovy, 0.0);
    EXPECT_EQ(largest.aspect, 1.0);
}

TEST(CameraView, StraightDownIsTheDefaultView) {
    ball_camera camera;
    camera.elevation = -90.0f;
    camera.azimuth = 90.0f;
    camera.place_eye(800, 600);
    const look_at v = camera.view();
    const projection p = projection_for(800, 600);
    EXPECT_LT(distance(v.eye, p.eye), 1e-3);
    EXPECT_NEAR(v.centre[2] - v.eye[2], -1.0, 1e-12);
    // Tiny but pointing along +y.
    EXPECT_GT(v.up[1], 0.0);
    EXPECT_LT(std::abs(v.up[0]), v.up[1] * 1e-6);
}

TEST(Scene, WithoutAWorkerSetSizeOnlyStoresAndLaysOut) {
    saver_scene scene(false);
    EXPECT_EQ(scene.width, 0);
    EXPECT_FALSE(scene.worker_started);
    // Without a size a frame ages nothing and leaves the camera alone.
    scene.garden.shapes[0].point_count = 10;
    scene.garden.shapes[0].radius = 0.2f;
    scene.garden.roses.push_back(
        std::make_unique<rose>(&scene.garden.shapes[0], 0, rgba{1, 2, 3, 4}, 0.0f, 0.0f));
    scene.step();
    EXPECT_EQ(scene.garden.roses.front()->age, 3);
    EXPECT_EQ(scene.camera.elevation, 0.0f);
    EXPECT_EQ(scene.camera.x, 0.0f);

    scene.set_size(640, 480);
    EXPECT_FALSE(scene.worker_started);
    EXPECT_EQ(scene.garden.width, 640);
    EXPECT_EQ(scene.garden.height, 480);
    EXPECT_EQ(scene.garden.roses.front()->width, 640.0f);
    EXPECT_NE(scene.garden.roses.front()->vertices[0].x, 0.0f);
    scene.stop_worker(); // harmless without a thread
}

TEST(Scene, ALayoutBetweenTwoStepsMovesBothPosesToTheNewSize) {
    reseed_random(3);
    saver_scene scene(false);
    scene.set_size(800, 600);
    for (int k = 0; k < 5; ++k) {
        scene.step();
    }
    // Wider and lower: the frames before the next step look at the new box's centre.
    scene.set_size(1600, 400);
    const double centre[3] = {800.0, 200.0, -200.0};
    for (const double f : {0.0, 0.5, 1.0}) {
        const look_at v = between(scene.previous_pose, scene.camera, f).view();
        const double ahead[3] = {v.centre[0] - v.eye[0], v.centre[1] - v.eye[1],
                                 v.centre[2] - v.eye[2]};
        const double to[3] = {centre[0] - v.eye[0], centre[1] - v.eye[1], centre[2] - v.eye[2]};
        const double cross =
            std::hypot(ahead[1] * to[2] - ahead[2] * to[1], ahead[2] * to[0] - ahead[0] * to[2],
                       ahead[0] * to[1] - ahead[1] * to[0]);
        EXPECT_LT(cross / std::hypot(to[0], to[1], to[2]), 1e-4) << "f " << f;
    }
}

// The default view of 800x600, which sees the plane z = 0.4 s - height / 2 (s = sqrt(800^2 +
// 2 600^2)) at exactly one window pixel per scene unit.
struct pixel_plane {
    projection p = projection_for(800, 600);
    look_at view{
        {p.eye[0], p.eye[1], p.eye[2]}, {p.centre[0], p.centre[1], p.centre[2]}, {0, 1, 0}};
    float z = static_cast<float>(0.4 * std::sqrt(800.0 * 800 + 2 * 600.0 * 600) - 300);
};

// What a strip reaches, as one box: that of its cells of a pixel.
pixel_box reach_of(std::span<const vertex> strip, const pixel_box& area, float line_width) {
    const pixel_plane at;
    damage_grid grid(area, 1);
    grid.add_strip(strip, at.view, at.p, line_width);
    pixel_box all;
    for (const pixel_box& box : grid.boxes(1 << 20)) {
        all = all.empty()
                  ? box
                  : pixel_box{std::min(all.left, box.left), std::min(all.bottom, box.bottom),
                              std::max(all.right, box.right), std::max(all.top, box.top)};
    }
    return all;
}

TEST(FrameDamage, AStripCoversItsProjectedBoxPaddedForItsWidthAndSmoothedEdges) {
    const float plane = pixel_plane{}.z;
    const pixel_box area{0, 0, 800, 600};
    std::vector<vertex> strip{{100, 200, plane}, {500, 450, plane}, {300, 300, plane}};
    // Half the width, a pixel and the smoothed edges' margin: 3 pixels at width 2.
    EXPECT_EQ(reach_of(strip, area, 2.0f), (pixel_box{97, 197, 503, 453}));
    // In a monitor's area the same strip moves with the area, and what lies outside is cut.
    EXPECT_EQ(reach_of(strip, {800, 100, 1600, 700}, 4.0f), (pixel_box{895, 295, 1305, 555}));
    // A segment that leaves the area reaches only what it crosses on its way out: from
    // (300, 300) to (850, 100), it passes x = 803 at y = 117.1.
    strip.push_back({850, 100, plane});
    EXPECT_EQ(reach_of(strip, area, 2.0f), (pixel_box{97, 114, 800, 453}));
    // A vertex behind the eye, or one that is not a number, could draw anywhere.
    strip.push_back({400, 300, 2000});
    EXPECT_EQ(reach_of(strip, area, 2.0f), area);
    strip.back() = {std::nanf(""), 300, 0};
    EXPECT_EQ(reach_of(strip, area, 2.0f), area);
}

TEST(FrameDamage, AStripReachesTheCellsItsSegmentsCrossOnBothSidesOfAnEdge) {
    const pixel_plane at;
    const float plane = at.z;
    const pixel_box area{0, 0, 800, 600};
    const auto grid_of = [&](std::vector<vertex> strip) {
        damage_grid grid(area, 32);
        grid.add_strip(strip, at.view, at.p, 2.0f);
        return grid;
    };
    // Along the edge between two rows of cells a line colours the pixels on both sides.
    EXPECT_EQ(grid_of({{100, 64, plane}, {300, 64, plane}}).boxes(8),
              (std::vector<pixel_box>{{96, 32, 320, 96}}));
    // Past the window's edge only what lies inside counts, however far the strip goes.
    EXPECT_EQ(grid_of({{700, 300, plane}, {5e6f, 300, plane}}).boxes(8),
              (std::vector<pixel_box>{{672, 288, 800, 320}}));
    // A slanting line crosses a few cells of each row, not all those of its box.
    const damage_grid slant = grid_of({{-1e6f, -1e6f, plane}, {1e6f, 1e6f, plane}});
    const std::vector<pixel_box> steps = slant.boxes(64);
    EXPECT_GE(steps.size(), 19u);
    EXPECT_LT(slant.pixels(), area.area() / 8);
    // Fewer boxes from larger cells still hold every cell reached.
    const std::vector<pixel_box> few = slant.boxes(4);
    EXPECT_LE(few.size(), 4u);
    for (const pixel_box& box : steps) {
        EXPECT_TRUE(std::any_of(few.begin(), few.end(),
                                [&](const pixel_box& big) { return clip(box, big) == box; }));
    }
    // A vertex behind the eye could draw anywhere.
    EXPECT_EQ(grid_of({{100, 64, plane}, {400, 300, 2000}}).boxes(8),
              (std::vector<pixel_box>{area}));
    EXPECT_TRUE(damage_grid(area, 32).empty());
}

TEST(FrameDamage, AFrameClearsWhatTheBuffersFramesDrewAndPresentsWhatChanged) {
    const pixel_box area{0, 0, 256, 256};
    const auto grid_of = [&](std::vector<pixel_box> boxes) {
        damage_grid grid(area, frame_damage::cell);
        for (const pixel_box& box : boxes) {
            grid.add_box(box);
        }
        return grid;
    };
    using boxes = std::vector<pixel_box>;
    const pixel_box a{0, 0, 32, 32};
    const pixel_box b{64, 0, 96, 32};
    const pixel_box c{0, 64, 32, 96};
    frame_damage damage;
    // Nothing known: all of it, cleared and presented.
    EXPECT_EQ(damage.clear_for(grid_of({a}), 1), boxes{area});
    EXPECT_EQ(damage.changed(), boxes{area});
    // A buffer one frame old holds a: a and b are cleared, each on its own, and what changed
    // is presented as the box around both, as a copy costs more than the pixels between.
    EXPECT_EQ(damage.clear_for(grid_of({b}), 1), (boxes{a, b}));
    EXPECT_EQ(damage.changed(), (boxes{{0, 0, 96, 32}}));
    // Two frames old, it holds a: b, the frame between, is no longer on it but counts too.
    EXPECT_EQ(damage.clear_for(grid_of({c}), 2), (boxes{a, b, c}));
    EXPECT_EQ(damage.changed(), (boxes{{0, 0, 96, 96}}));
    // Large boxes far apart are presented apart, where the box around them costs more.
    damage_grid far({0, 0, 2048, 2048}, frame_damage::cell);
    far.add_box({0, 0, 256, 256});
    far.add_box({1536, 1536, 2048, 2048});
    EXPECT_EQ(far.cheapest_boxes(16, frame_damage::presented_box_pixels),
              (boxes{{0, 0, 256, 256}, {1536, 1536, 2048, 2048}}));
    EXPECT_EQ(far.cheapest_boxes(1, frame_damage::presented_box_pixels),
              (boxes{{0, 0, 2048, 2048}}));
    // Older than the frames remembered, or of unknown age: all of it.
    EXPECT_EQ(damage.clear_for(grid_of({c}), 4), boxes{area});
    EXPECT_EQ(damage.clear_for(grid_of({c}), 0), boxes{area});
    // Most of the area is no cheaper than all of it.
    EXPECT_EQ(damage.clear_for(grid_of({{0, 0, 200, 200}}), 1), boxes{area});
    EXPECT_EQ(damage.changed(), boxes{area});
    // More boxes than a frame presents come from larger cells; the clear, one draw for all
    // its boxes, keeps each cell.
    damage_grid scattered(area, frame_damage::cell);
    for (std::int32_t k = 0; k < 8; ++k) {
        for (const std::int32_t column : {k, 7 - k, (k + 3) % 8}) {
            scattered.add_box({column * 32, k * 32, column * 32 + 1, k * 32 + 1});
        }
    }
    damage.clear_for(scattered, 1);
    const boxes cleared = damage.clear_for(scattered, 1);
    EXPECT_GT(cleared.size(), frame_damage::most_boxes);
    std::int64_t cleared_pixels = 0;
    for (const pixel_box& box : cleared) {
        cleared_pixels += box.area();
    }
    EXPECT_EQ(cleared_pixels, scattered.pixels());
    EXPECT_LE(damage.changed().size(), frame_damage::most_boxes);
    damage.invalidate();
    damage.clear_for(grid_of({c}), 1);
    EXPECT_EQ(damage.changed(), boxes{area});
}

TEST(Monitors, OverlapsUniteTouchingOnesStaySeparateAndAllStayInTheWindow) {
    using list = std::vector<monitor_rect>;
    // A cloned output shares its monitor's scene, at the denser of the two scales; a monitor
    // that only touches stays apart, and one that cannot tell its scale takes the window's.
    EXPECT_EQ(unite_monitors({{0, 0, 100, 100, 1.0}, {0, 0, 100, 100, 2.0}, {100, 0, 50, 100}},
                             {150, 100, 1.5}),
              (list{{0, 0, 100, 100, 2.0}, {100, 0, 50, 100, 1.5}}));
    // The union of two can overlap a monitor that neither did: one monitor in the end.
    EXPECT_EQ(unite_monitors({{0, 0, 40, 40}, {60, 60, 40, 40}, {30, 0, 40, 70}}, {100, 100}),
              (list{{0, 0, 100, 100, 1.0}}));
    // Cut to the window; nothing left of one wholly outside or empty; none at all is the
    // whole window.
    EXPECT_EQ(unite_monitors({{-10, 0, 60, 50}, {200, 0, 10, 10}, {50, 0, 0, 50}}, {100, 50}),
              (list{{0, 0, 50, 50, 1.0}}));
    EXPECT_EQ(unite_monitors({{200, 0, 10, 10}}, {100, 50, 2.0}), (list{{0, 0, 100, 50, 2.0}}));
}

TEST(Monitors, AMonitorThatRemainsKeepsItsSceneWhenAnotherGoes) {
    using match = std::vector<std::optional<std::size_t>>;
    const monitor_rect left{0, 0, 1024, 768, 1.0, 11};
    const monitor_rect right{1024, 0, 1024, 768, 1.0, 22};
    // The first of two is unplugged and the second moves into its place: known by its name.
    EXPECT_EQ(match_monitors({left, right}, {{0, 0, 1024, 768, 1.0, 22}}), (match{1}));
    // Without names, by the place that stays; a new monitor continues nothing.
    monitor_rect a = left;
    monitor_rect b = right;
    a.identity = b.identity = 0;
    EXPECT_EQ(match_monitors({a, b}, {b}), (match{1}));
    EXPECT_EQ(match_monitors({a}, {b, a}), (match{std::nullopt, 0}));
    // One unnamed window resized: still the same scene.
    EXPECT_EQ(match_monitors({a}, {{0, 0, 800, 600}}), (match{0}));
    // A named monitor that went away is not taken over by another named one.
    EXPECT_EQ(match_monitors({left}, {right}), (match{std::nullopt}));
}

// A display that offers a frame rate times a second, a little early or late as real ones are,
// and a host that asks the clock at each of them, as the page and the Wayland host do.
struct display_run {
    std::int64_t steps = 0;
    std::int64_t frames = 0;
    // Where each frame stands between the steps: steps taken before its step, plus f.
    std::vector<double> places;
};

constexpr std::int64_t nanos = 1000000000;

display_run run_display(double rate, std::optional<std::int32_t> cap, double seconds,
                        const char* renderer = "a GPU",
                        std::optional<std::int32_t> saving = std::nullopt) {
    frame_clock clock(0, nanos / steps_per_second,
                      choose_pacing(cap, renderer, nanos, 0.0, saving));
    display_run run;
    const double period = nanos / rate;
    for (std::int64_t k = 0; k < static_cast<std::int64_t>(seconds * rate); ++k) {
        // Up to a millisecond either way, the same every run.
        const std::int64_t jitter = (k * 7919 % 21 - 10) * 100000;
        const std::int64_t now = static_cast<std::int64_t>(k * period) + (k > 0 ? jitter : 0);
        run.steps += clock.take_step(now) ? 1 : 0;
        if (const auto f = clock.take_frame(now)) {
            ++run.frames;
            run.places.push_back(static_cast<double>(run.steps - 1) + *f);
        }
    }
    return run;
}

TEST(FrameClock, CapsGiveTheirRateOnAnyDisplayAndSoftwareDrawsOnceAStepWithoutSamples) {
    struct expected {
        double rate;
        std::optional<std::int32_t> cap;
        std::int64_t frames;
    };
    for (const expected& e :
         {expected{60, 20, 1200}, expected{60, 30, 1800}, expected{60, 45, 2700},
          expected{60, 60, 3600}, expected{60, std::nullopt, 3600}, expected{144, 20, 1200},
          expected{144, 30, 1800}, expected{144, 45, 2700}, expected{144, 60, 3600},
          expected{144, std::nullopt, 8640}}) {
        const display_run run = run_display(e.rate, e.cap, 60.0);
        EXPECT_NEAR(run.frames, e.frames, 2) << e.rate << " Hz, cap " << e.cap.value_or(0);
        EXPECT_NEAR(run.steps, 1200, 1) << e.rate << " Hz, cap " << e.cap.value_or(0);
    }
    // A software renderer draws each step once, at the step itself, unless a cap is given.
    frame_clock clock(0, nanos / steps_per_second, choose_pacing({}, "llvmpipe (LLVM 15)", nanos));
    EXPECT_FALSE(clock.take_frame(0));
    EXPECT_TRUE(clock.take_step(1));
    EXPECT_EQ(clock.take_frame(2), 1.0);
    EXPECT_FALSE(clock.take_frame(3));
    EXPECT_EQ(run_display(144, {}, 60.0, "SwiftShader").frames, 1200);
    EXPECT_NEAR(run_display(144, 60, 60.0, "SwiftShader").frames, 3600, 2);
    // Nor does it multisample unless asked, while a graphics card does unless told not to.
    EXPECT_EQ(choose_samples({}, "llvmpipe (LLVM 15.0.6, 256 bits)"), 0);
    EXPECT_EQ(choose_samples(8, "llvmpipe (LLVM 15.0.6, 256 bits)"), 8);
    EXPECT_EQ(choose_samples({}, "AMD Radeon RX 6600 (radeonsi, navi23)"), 4);
    EXPECT_EQ(choose_samples(0, "AMD Radeon RX 6600 (radeonsi, navi23)"), 0);
    // Windows' WARP, as itself, under WSLg and through ANGLE, and macOS's own.
    for (const char* software :
         {"Microsoft Basic Render Driver", "D3D12 (Microsoft Basic Render Driver)",
          "ANGLE (Microsoft, Microsoft Basic Render Driver (0x0000008C) Direct3D11 vs_5_0 "
          "ps_5_0, D3D11)",
          "Apple Software Renderer"}) {
        EXPECT_TRUE(software_renderer(software)) << software;
        EXPECT_EQ(choose_samples({}, software), 0) << software;
    }
    EXPECT_FALSE(software_renderer("Apple M2"));
    EXPECT_FALSE(software_renderer("D3D12 (NVIDIA GeForce RTX 3060)"));
}

TEST(FrameClock, ARedrawUnderACapIsTakenAtOnceAndTheCapHoldsAfterIt) {
    // 30 frames a second: a frame at the step, and none due again for a period.
    const std::int64_t period = nanos / 30;
    frame_clock clock(0, nanos / steps_per_second, choose_pacing(30, "a GPU", nanos));
    EXPECT_TRUE(clock.take_step(0));
    EXPECT_EQ(clock.take_frame(0), 0.0);
    EXPECT_FALSE(clock.take_frame(period / 4));
    // The surface lost its picture (a resized canvas, an Expose): drawn now, not a period on.
    clock.redraw();
    EXPECT_EQ(clock.next_wake(period / 4, true), period / 4);
    EXPECT_TRUE(clock.take_frame(period / 4));
    // Once drawn, the cap holds again.
    EXPECT_FALSE(clock.take_frame(period / 4 + 1));
    EXPECT_GT(clock.next_wake(period / 4 + 1, true), period / 4 + 1);
}

TEST(FrameClock, WhileSavingPowerItsCapHoldsOverEveryOtherAndNeverAddsFrames) {
    EXPECT_NEAR(run_display(144, 60, 60.0, "a GPU", 30).frames, 1800, 2);
    EXPECT_NEAR(run_display(144, {}, 60.0, "a GPU", 45).frames, 2700, 2);
    EXPECT_NEAR(run_display(144, 10, 60.0, "a GPU", 20).frames, 600, 2);
    EXPECT_NEAR(run_display(144, {}, 60.0, "SwiftShader", 5).frames, 300, 2);
    EXPECT_EQ(run_display(144, {}, 60.0, "SwiftShader", 30).frames, 1200);
    // One frame a step shows the steps themselves, as the software renderer's default does.
    const display_run run = run_display(144, 60, 2.0, "a GPU", 20);
    ASSERT_GT(run.places.size(), 30u);
    for (const double place : run.places) {
        EXPECT_EQ(place, std::round(place));
    }
}

TEST(FrameClock, FramesAt144HzMoveEvenlyAcrossTheSteps) {
    const display_run run = run_display(144, std::nullopt, 2.0);
    ASSERT_GT(run.places.size(), 200u);
    // 20 steps a second over 144 frames: every frame a 7.2th of a step on, whether or not a
    // step came just before it, within the display's millisecond of jitter.
    for (std::size_t i = 1; i < run.places.size(); ++i) {
        EXPECT_NEAR(run.places[i] - run.places[i - 1], 20.0 / 144.0, 0.041) << "frame " << i;
    }
}

TEST(FrameClock, AfterAStallOneStepAndOneFrameAndUnseenWakesOnlyForSteps) {
    const std::int64_t step = nanos / steps_per_second;
    frame_clock clock(0, step, choose_pacing(60, "a GPU", nanos, 120.0));
    std::int64_t now = 0;
    int wakes = 0;
    for (;;) {
        clock.take_step(now);
        clock.take_frame(now);
        if (now >= nanos || ++wakes > 1000) {
            break;
        }
        now = clock.next_wake(now, true);
    }
    // 20 steps and 60 frames: a wake-up for each, none for nothing.
    EXPECT_LE(wakes, 81);
    // A frame is due before the next step while the surface can be seen; unseen, the step.
    EXPECT_LT(clock.next_wake(now, true), clock.next_step());
    EXPECT_EQ(clock.next_wake(now, false), clock.next_step());

    now += 2 * nanos;
    EXPECT_TRUE(clock.take_step(now));
    EXPECT_FALSE(clock.take_step(now));
    EXPECT_EQ(clock.take_frame(now), 0.0);
    EXPECT_FALSE(clock.take_frame(now));
    EXPECT_EQ(clock.next_step(), now + step);
    EXPECT_GT(clock.next_wake(now, true), now);
}

} // namespace
} // namespace roses
