#include "options/command_line.h"

namespace roses {

int complain(int code, const std::string& line) {
    std::fprintf(stderr, "roses: %s\n", line.c_str());
    return code;
}

} // namespace roses
