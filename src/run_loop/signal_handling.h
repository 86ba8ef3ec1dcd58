// The signals that end the program: idle daemons and XScreenSaver end their command with
// SIGTERM, a terminal with SIGINT. The hosts and the renderer read them the same way: from a
// descriptor, at a moment of their choosing, so that the end is an ordinary one.
#pragma once

#include <functional>

namespace roses {

// Blocks SIGTERM and SIGINT in the calling thread and every thread started after it (the
// scenes' workers and the GL driver's threads inherit the mask) and returns a non-blocking
// descriptor they can be read from, so that a poll wakes at once; -1, with errno set, when
// there is none. Call it before any thread starts.
[[nodiscard]] int open_stop_signals();

// Runs host with the descriptor of open_stop_signals and closes it afterwards; returns the
// host's exit code, or complains and returns exit_environment when there is no descriptor.
[[nodiscard]] int with_stop_signals(const std::function<int(int stop_fd)>& host);

// The stop signal waiting on the descriptor, taking it; 0 when none is.
int take_stop_signal(int stop_fd);

// Ends the process the way the signal ends it when nobody handles it, for whoever started
// the program to see: its default action, after the caller has cleaned up.
[[noreturn]] void end_by_signal(int signal_number);

} // namespace roses
