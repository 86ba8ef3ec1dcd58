// The scene without a display: the worker's pacing, sizes, and the projection and the
// default view it sets.
#include "scene/frame.h"
#include "scene/monitor_scenes.h"
#include "scene/saver_scene.h"

#include <cmath>
#include <memory>

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
    scene.frame_update();
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

} // namespace
} // namespace roses
