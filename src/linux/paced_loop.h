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

} // namespace roses
