// How the Linux program ends: its exit codes, the one line it writes when it cannot go on, and
// what every command line does before its host runs.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "options/option_reader.h"

namespace roses {

inline constexpr int exit_ok = 0;
// The environment failed: no display, no driver, an output that cannot be written.
inline constexpr int exit_environment = 1;
// The command line cannot be used.
inline constexpr int exit_usage = 2;

// Writes "roses: <line>" to standard error and returns code, for `return complain(...)`.
int complain(int code, const std::string& line);

// A refusal ends the program with exit_usage, -help prints the usage. The exit code, or none
// when the host runs.
template <typename Options>
[[nodiscard]] std::optional<int> settle_command_line(const parse_result<Options>& parsed,
                                                     const command_line& program) {
    if (!parsed.error.empty()) {
        return complain(exit_usage, parsed.error);
    }
    if (parsed.options.help) {
        std::fputs(std::string(program.usage).c_str(), stdout);
        return exit_ok;
    }
    return std::nullopt;
}

} // namespace roses
