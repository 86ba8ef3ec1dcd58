// The loop both display hosts run: draw a frame every period, and between frames sleep on
// the display's descriptor and the stop signals' until the next frame is due.
#pragma once

#include <chrono>
#include <functional>

namespace roses {

// What a host does at each point of the loop.
struct paced_loop_steps {
    // Handles whatever the display has queued; false ends the loop.
    std::function<bool()> handle_events;
    // Lays out and draws one frame.
    std::function<void()> draw_frame;
    // Just before sleeping: sends what is queued for the display. False when more events
    // arrived meanwhile, which are handled before sleeping. Empty: nothing to do.
    std::function<bool()> before_wait;
    // Just after sleeping, with poll's report on the display's descriptor (0 when it did
    // not wake the loop); false ends the loop. Empty: nothing to do.
    std::function<bool(short revents)> after_wait;
};

// Runs the steps until one of them ends the loop or a stop signal arrives on stop_fd.
// After a stall (a stopped process, a slow frame) it starts afresh rather than draw the
// missed frames back to back.
void run_paced_loop(int display_fd, int stop_fd, std::chrono::milliseconds period,
                    const paced_loop_steps& steps);

// The loop of a host that draws faster than it steps.
struct stepped_loop_steps {
    // As in paced_loop_steps.
    std::function<bool()> handle_events;
    // One step of the scenes (a 50 ms step of the simulation).
    std::function<void()> take_step;
    // Lays out and draws one frame at the fraction f in (0, 1] of a step that has passed
    // since the last step, and presents it.
    std::function<void(double f)> draw_frame;
    std::function<bool()> before_wait;
    std::function<bool(short revents)> after_wait;
};

// Steps every step_period and draws a frame every frame_period in between, both on the
// monotonic clock: a step that falls due is taken before the frame that follows it, and
// after a stall neither steps nor frames are made up back to back.
void run_stepped_loop(int display_fd, int stop_fd, std::chrono::nanoseconds step_period,
                      std::chrono::nanoseconds frame_period, const stepped_loop_steps& steps);

} // namespace roses
