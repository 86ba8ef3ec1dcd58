#include "headless/headless.h"

#include <cstdio>

namespace roses {

int headless_main(int, char**) {
    std::fprintf(stderr, "roses: the headless renderer is not built yet\n");
    return 1;
}

} // namespace roses
