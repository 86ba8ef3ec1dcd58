// The saver's top-level object: the camera, the garden and the worker thread that runs
// the garden's ticks.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "display/ball_camera.h"
#include "garden/rose_garden.h"

namespace roses {

// A worker cycle lasts at least a step, and a long tick is followed by a rest four times
// as long, so the worker stays within a fifth of a processor. Returns the pause in
// microseconds after a tick of elapsed_micros.
std::int64_t worker_pause_micros(std::int64_t elapsed_micros);

// The milliseconds the worker sleeps after a tick of elapsed_micros; 0 means go on at once.
std::int64_t worker_sleep_millis(std::int64_t elapsed_micros);

class saver_scene {
  public:
    // Held by value as the first member.
    ball_camera camera;
    rose_garden garden;
    std::uint32_t worker_thread_id = 0;
    bool worker_started = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Device pixels per ordinary pixel of the display drawn on (1 at 96 DPI): the strips are
    // drawn that much wider, so that a dense display shows the picture of an ordinary one.
    // Hosts hand it over with their monitors (monitor_scenes::lay_out) on the window thread,
    // again whenever the display's scale changes.
    double scale = 1.0;
    // The strips' width for that scale on the current driver, taken when the scene is laid
    // out (set_projection).
    float line_width = 2.0f;
    // The camera's pose after the step before the last one, and whether the last step moved
    // the camera at all (a scene not laid out yet has no pose): frames between the two steps
    // are drawn from both poses.
    camera_gl previous_pose;
    bool posed = false;

    // Without start_worker, set_size never starts the thread: the caller runs
    // garden.tick() itself (tests, the headless renderer).
    explicit saver_scene(bool start_worker = true);
    // Stops and joins a running worker.
    ~saver_scene();
    saver_scene(const saver_scene&) = delete;
    saver_scene& operator=(const saver_scene&) = delete;

    // Stores the client size, lays the roses out for it and starts the worker once. The
    // camera's two poses move with the picture, so that the next frame, drawn before any
    // step, already shows it as laid out.
    void set_size(std::int32_t width, std::int32_t height);
    // Once per step: ages and retires roses and moves the camera, keeping the pose it had.
    void step();
    // Asks the worker loop to end and joins it; a sleeping worker wakes at once.
    void stop_worker();

  private:
    void worker_main();

    bool start_worker;
    std::thread worker;
    std::mutex worker_mutex;
    std::condition_variable worker_wake;
    bool stop_requested = false;
};

} // namespace roses
