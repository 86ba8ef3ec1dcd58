// How the Linux program ends: its exit codes, the one line it writes when it cannot go on,
// and the connections it keeps open until then.
#pragma once

#include <string>

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

} // namespace roses
