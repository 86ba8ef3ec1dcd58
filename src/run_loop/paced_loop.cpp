#include "run_loop/paced_loop.h"

#include <poll.h>

#include <cerrno>

#include "run_loop/signal_handling.h"

namespace roses {
namespace {

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

} // namespace

void run_paced_loop(int display_fd, int stop_fd, const paced_loop_steps& steps) {
    pollfd waits[2] = {{display_fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    for (;;) {
        if (!steps.handle_events()) {
            return;
        }
        const auto wake = steps.run_due(paced_clock::now());
        if (steps.before_wait && !steps.before_wait()) {
            continue;
        }
        wait_until(waits, 2, wake);
        if (steps.after_wait && !steps.after_wait(waits[0].revents)) {
            return;
        }
        if (waits[1].revents != 0 && take_stop_signal(stop_fd) != 0) {
            return;
        }
    }
}

} // namespace roses
