#include "scene/saver_scene.h"

#include "scene/frame_clock.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace roses {
namespace {

constexpr std::int64_t min_cycle_micros =
    std::chrono::duration_cast<std::chrono::microseconds>(step_period).count();
// Work 0.2, rest 0.8 of a cycle.
constexpr double busy_share = 0.2;
constexpr double rest_share = 0.8;
// A pause this short or negative is not worth a sleep.
constexpr std::int64_t min_pause_micros = 5000;

} // namespace

std::int64_t worker_pause_micros(std::int64_t elapsed_micros) {
    const auto rest =
        static_cast<std::int64_t>(static_cast<double>(elapsed_micros) * rest_share / busy_share);
    return std::max(min_cycle_micros - elapsed_micros, rest);
}

std::int64_t worker_sleep_millis(std::int64_t elapsed_micros) {
    const std::int64_t pause = worker_pause_micros(elapsed_micros);
    return pause > min_pause_micros ? pause / 1000 : 0;
}

saver_scene::saver_scene(bool start_worker) : start_worker(start_worker) {}

saver_scene::~saver_scene() {
    stop_worker();
}

namespace {

// A pose for a box of the old size, moved to the same place relative to a box of the new one:
// the eye's distance from the box's centre grows with the height, as the camera places it.
void move_pose(camera_gl& pose, std::int32_t old_width, std::int32_t old_height,
               std::int32_t new_width, std::int32_t new_height) {
    const double k = static_cast<double>(new_height) / old_height;
    pose.x = static_cast<float>(new_width / 2.0 + (pose.x - old_width / 2.0) * k);
    pose.y = static_cast<float>(new_height / 2.0 + (pose.y - old_height / 2.0) * k);
    pose.z = static_cast<float>(-new_height / 2.0 + (pose.z + old_height / 2.0) * k);
}

} // namespace

void saver_scene::set_size(std::int32_t new_width, std::int32_t new_height) {
    const std::int32_t old_width = width;
    const std::int32_t old_height = height;
    width = new_width;
    height = new_height;
    garden.width.store(new_width);
    garden.height.store(new_height);
    garden.visit_roses([new_width, new_height](rose& live) { live.layout(new_width, new_height); });
    if (posed && old_height > 0 && new_width > 0 && new_height > 0) {
        // The camera's own angles put its eye anew; only where it was a step ago is moved.
        camera.place_eye(new_width, new_height);
        move_pose(previous_pose, old_width, old_height, new_width, new_height);
    }
    if (start_worker && !worker_started) {
        worker = std::thread([this] { worker_main(); });
        worker_thread_id =
            static_cast<std::uint32_t>(std::hash<std::thread::id>{}(worker.get_id()));
        worker_started = true;
    }
}

void saver_scene::step() {
    if (width == 0 || height == 0) {
        posed = false;
        return;
    }
    garden.cull();
    const camera_gl before = camera;
    // The camera's motion goes through its virtual update.
    inertial_camera_gl& moving = camera;
    moving.update(width, height);
    camera.apply_phase_rules();
    // The first step has nothing to come from: its frames all show where it ends.
    previous_pose = posed ? before : static_cast<const camera_gl&>(camera);
    posed = true;
}

void saver_scene::stop_worker() {
    {
        std::lock_guard<std::mutex> guard(worker_mutex);
        stop_requested = true;
    }
    worker_wake.notify_all();
    if (worker.joinable()) {
        worker.join();
    }
}

void saver_scene::worker_main() {
    for (;;) {
        // A monotonic clock: a step of the calendar clock must not stall the roses.
        const auto t1 = std::chrono::steady_clock::now();
        garden.tick();
        const auto t2 = std::chrono::steady_clock::now();
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(t2 - t1);
        const std::int64_t sleep = worker_sleep_millis(elapsed.count());
        std::unique_lock<std::mutex> guard(worker_mutex);
        if (sleep > 0) {
            worker_wake.wait_for(guard, std::chrono::milliseconds(sleep),
                                 [this] { return stop_requested; });
        }
        if (stop_requested) {
            return;
        }
    }
}

} // namespace roses
