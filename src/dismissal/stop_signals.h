// The signals that end a saver: idle daemons and XScreenSaver end their command with
// SIGTERM, a terminal with SIGINT. Every Linux host reads them the same way.
#pragma once

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>

namespace roses {

// Blocks SIGTERM and SIGINT in the calling thread and every thread started after it (the
// scenes' workers and the GL driver's threads inherit the mask) and returns a descriptor
// they can be read from, so that a host's poll wakes at once and the exit is an ordinary
// one. Call it before any thread starts.
inline int open_stop_signals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    return signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
}

} // namespace roses
