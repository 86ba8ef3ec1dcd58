// The real worker thread against a frame loop, as a host runs them; meant for the
// ThreadSanitizer build, where a data race fails the test.
#include "gl_context/egl_pbuffer_context.h"
#include "scene/frame.h"
#include "scene/monitor_scenes.h"
#include "scene/saver_scene.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace roses {
namespace {

TEST(SceneThread, WorkerAndFramesShareTheGardenAndStopCleanly) {
    egl_pbuffer_context gl;
    ASSERT_TRUE(gl.create(320, 240)) << gl.error();
    saver_scene scene;
    testing::internal::CaptureStderr();
    set_projection(scene, 320, 240);
    EXPECT_TRUE(scene.worker_started);
    EXPECT_NE(scene.worker_thread_id, 0u);

    bool planted = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < end) {
        render_frame(scene);
        // Age the rose quickly, so that retirement and replanting happen within the run.
        {
            std::lock_guard<std::mutex> guard(scene.garden.lock);
            for (auto& live : scene.garden.roses) {
                planted = true;
                live->age += live->count / 8;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    scene.stop_worker();
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(planted);
    EXPECT_NE(diagnostics.find("roses.size: 0 < 1\n"), std::string::npos);
    // A stopped worker stays stopped: the garden no longer changes.
    const auto count = scene.garden.rose_count.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(scene.garden.rose_count.load(), count);
}

TEST(SceneThread, LayoutsWhileTheWorkerPlantsLeaveEveryRoseLaidOutForTheLastSize) {
    egl_pbuffer_context gl;
    ASSERT_TRUE(gl.create(320, 240)) << gl.error();
    saver_scene scene;
    testing::internal::CaptureStderr();
    set_projection(scene, 320, 240);
    const std::int32_t sizes[][2] = {{320, 240}, {200, 150}, {320, 180}};
    int plantings = 0;
    rose* last = nullptr;
    // Until a few roses have come and gone, however slow the machine (a sanitizer, an
    // emulator).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int k = 0; plantings < 4 && std::chrono::steady_clock::now() < end; ++k) {
        set_projection(scene, sizes[k % 3][0], sizes[k % 3][1]);
        scene.step();
        // Retire each rose soon, so that the worker plants again and again.
        scene.garden.visit_roses([&](rose& live) {
            plantings += &live != last;
            last = &live;
            live.age += live.count / 4;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    scene.stop_worker();
    testing::internal::GetCapturedStderr();
    EXPECT_GE(plantings, 2);
    scene.garden.visit_roses([&](rose& live) {
        EXPECT_EQ(live.width, static_cast<float>(scene.width));
        EXPECT_EQ(live.height, static_cast<float>(scene.height));
    });
}

TEST(SceneThread, ScenesOfSeveralMonitorsShareTheRandomSources) {
    // Two workers search and wander at once while the frames move both cameras: every draw
    // from the one engine goes through its lock.
    egl_pbuffer_context gl;
    ASSERT_TRUE(gl.create(640, 240)) << gl.error();
    testing::internal::CaptureStderr();
    monitor_scenes scenes;
    scenes.lay_out({{0, 0, 320, 240}, {320, 0, 320, 240}}, {640, 240});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
        scenes.render();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A layout with one monitor fewer stops and frees the other scene and its worker.
    scenes.lay_out({}, {640, 240});
    scenes.render();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(scenes.count(), 1u);
    EXPECT_TRUE(scenes.scene(0).worker_started);
}

} // namespace
} // namespace roses
