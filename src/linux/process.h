// How the Linux program ends: its exit codes, the one line it writes when it cannot go on,
// and the connections it keeps open until then.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "common/option_reader.h"

namespace roses {

inline constexpr int exit_ok = 0;
// The environment failed: no display, no driver, an output that cannot be written.
inline constexpr int exit_environment = 1;
// The command line cannot be used.
inline constexpr int exit_usage = 2;

// Writes "roses: <line>" to standard error and returns code, for `return complain(...)`.
int complain(int code, const std::string& line);

// Keeps a display connection reachable until the process ends. Closing a connection unloads
// the GL driver on it, which leaves allocations behind that nothing can free and no leak
// checker can name; exiting closes it just the same.
void keep_until_exit(const void* connection);

// Asks Mesa's software rasteriser to draw on the thread that calls GL rather than on a pool of
// its own, unless the user has said otherwise (LP_NUM_THREADS). A frame of ours clears and
// draws a few lines in a box: waking the pool's threads for it costs more than they save.
// Before the first GL call; drivers that draw on a GPU never read it.
void draw_on_calling_thread();

// What every command line does before its host runs: a refusal ends the program with
// exit_usage, -help prints the usage. The exit code, or none when the host runs.
template <typename Options>
[[nodiscard]] std::optional<int> settle_command_line(const parse_result<Options>& parsed,
                                                     const std::string& usage) {
    if (!parsed.error.empty()) {
        return complain(exit_usage, parsed.error);
    }
    if (parsed.options.help) {
        std::fputs(usage.c_str(), stdout);
        return exit_ok;
    }
    return std::nullopt;
}

} // namespace roses
