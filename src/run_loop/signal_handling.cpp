#include "run_loop/signal_handling.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "options/command_line.h"

namespace roses {

int open_stop_signals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    return signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
}

int with_stop_signals(const std::function<int(int stop_fd)>& host) {
    const int stop_fd = open_stop_signals();
    if (stop_fd < 0) {
        return complain(exit_environment, std::string("signalfd: ") + std::strerror(errno));
    }
    const int code = host(stop_fd);
    close(stop_fd);
    return code;
}

int take_stop_signal(int stop_fd) {
    signalfd_siginfo received{};
    if (read(stop_fd, &received, sizeof received) != static_cast<ssize_t>(sizeof received)) {
        return 0;
    }
    return static_cast<int>(received.ssi_signo);
}

void end_by_signal(int signal_number) {
    // Other threads keep the signal blocked; this one takes it at once.
    signal(signal_number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    // Only a signal whose default is to continue gets here.
    std::_Exit(128 + signal_number);
}

} // namespace roses
