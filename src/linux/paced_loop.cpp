#include "linux/paced_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "linux/signal_handling.h"

namespace roses {
namespace {

using paced_clock = std::chrono::steady_clock;

// Polls until a descriptor is ready or the deadline passes; a signal that interrupts the
// wait (the process stopped and continued, say) only shortens it.
void wait_until(pollfd* waits, nfds_t count, paced_clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - paced_clock::now());
        const int ready = poll(waits, count, static_cast<int>(left.count() > 0 ? left.count() : 0));
        if (ready >= 0 || (errno != EINTR && errno != EAGAIN)) {
            if (ready <= 0) {
                for (nfds_t k = 0; k < count; ++k) {
                    waits[k].revents = 0;
                }
            }
            return;
        }
    }
}

// The next time a period after the last, or a period from now when that is already past.
paced_clock::time_point next_after(paced_clock::time_point last, paced_clock::duration period,
                                   paced_clock::time_point now) {
    const auto next = last + period;
    return next <= now ? now + period : next;
}

} // namespace

void run_paced_loop(int display_fd, int stop_fd, std::chrono::milliseconds period,
                    const paced_loop_steps& steps) {
    auto next_frame = paced_clock::now();
    pollfd waits[2] = {{display_fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    for (;;) {
        if (!steps.handle_events()) {
            return;
        }
        const auto now = paced_clock::now();
        if (now >= next_frame) {
            steps.draw_frame();
            next_frame += period;
            if (next_frame <= now) {
                next_frame = now + period;
            }
            continue;
        }
        if (steps.before_wait && !steps.before_wait()) {
            continue;
        }
        wait_until(waits, 2, next_frame);
        if (steps.after_wait && !steps.after_wait(waits[0].revents)) {
            return;
        }
        if (waits[1].revents != 0 && take_stop_signal(stop_fd) != 0) {
            return;
        }
    }
}

void run_stepped_loop(int display_fd, int stop_fd, std::chrono::nanoseconds step_period,
                      std::chrono::nanoseconds frame_period, const stepped_loop_steps& steps) {
    const auto start = paced_clock::now();
    auto next_step = start;
    auto last_step = start;
    auto next_frame = start;
    pollfd waits[2] = {{display_fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    for (;;) {
        if (!steps.handle_events()) {
            return;
        }
        auto now = paced_clock::now();
        if (now >= next_step) {
            steps.take_step();
            last_step = now;
            next_step = next_after(next_step, step_period, now);
        }
        if (now >= next_frame) {
            const double passed = std::chrono::duration<double>(now - last_step).count() /
                                  std::chrono::duration<double>(step_period).count();
            // A frame right after its step shows the step before it; a late step's frames
            // stop at the step's own view rather than run past it.
            steps.draw_frame(passed >= 1.0 ? 1.0 : passed);
            next_frame = next_after(next_frame, frame_period, paced_clock::now());
            continue;
        }
        if (steps.before_wait && !steps.before_wait()) {
            continue;
        }
        wait_until(waits, 2, std::min(next_step, next_frame));
        if (steps.after_wait && !steps.after_wait(waits[0].revents)) {
            return;
        }
        if (waits[1].revents != 0 && take_stop_signal(stop_fd) != 0) {
            return;
        }
    }
}

} // namespace roses
