// The loop both display hosts run: handle the display's events, step and draw whatever the
// frame clock says is due, and sleep on the display's descriptor and the stop signals' until
// the next thing falls due.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace roses {

using paced_clock = std::chrono::steady_clock;

// The frame clock's ticks for the loop's time: nanoseconds of the monotonic clock.
inline constexpr std::int64_t paced_ticks_per_second = 1000000000;
inline std::int64_t paced_ticks(paced_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}
inline std::int64_t paced_ticks(std::chrono::nanoseconds span) {
    return span.count();
}
inline paced_clock::time_point paced_time(std::int64_t ticks) {
    return paced_clock::time_point(
        std::chrono::duration_cast<paced_clock::duration>(std::chrono::nanoseconds(ticks)));
}

// What a host does at each point of the loop.
struct paced_loop_steps {
    // Handles whatever the display has queued; false ends the loop.
    std::function<bool()> handle_events;
    // Steps and draws what is due at now; answers when the host next needs to be woken.
    std::function<paced_clock::time_point(paced_clock::time_point now)> run_due;
    // Just before sleeping: sends what is queued for the display. False when more events
    // arrived meanwhile, which are handled before sleeping. Empty: nothing to do.
    std::function<bool()> before_wait;
    // Just after sleeping, with poll's report on the display's descriptor (0 when it did
    // not wake the loop); false ends the loop. Empty: nothing to do.
    std::function<bool(short revents)> after_wait;
};

// Runs the steps until one of them ends the loop or a stop signal arrives on stop_fd.
void run_paced_loop(int display_fd, int stop_fd, const paced_loop_steps& steps);

} // namespace roses
