#include "x11/x11_host.h"

#include <cstdio>

namespace roses {

int x11_main(int, char**) {
    std::fprintf(stderr, "roses: only --headless is available in this build\n");
    return 2;
}

} // namespace roses
