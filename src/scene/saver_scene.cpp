#include "scene/saver_scene.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace roses {
namespace {

constexpr std::int64_t min_cycle_micros = 50000;
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

void saver_scene::set_size(std::int32_t new_width, std::int32_t new_height) {
    width = new_width;
    height = new_height;
    garden.width = new_width;
    garden.height = new_height;
    garden.visit_roses([this](rose& live) { live.layout(garden.width, garden.height); });
    if (start_worker && !worker_started) {
        worker = std::thread([this] { worker_main(); });
        worker_thread_id =
            static_cast<std::uint32_t>(std::hash<std::thread::id>{}(worker.get_id()));
        worker_started = true;
    }
}

void saver_scene::frame_update() {
    step();
    load_view();
}

void saver_scene::step() {
    if (width == 0 || height == 0) {
        return;
    }
    garden.cull();
    // The camera's motion goes through its virtual update.
    inertial_camera_gl& moving = camera;
    moving.update(width, height);
    camera.apply_phase_rules();
}

void saver_scene::load_view() const {
    if (width == 0 || height == 0) {
        return;
    }
    camera.apply();
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
