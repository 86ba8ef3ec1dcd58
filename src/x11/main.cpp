// The Linux program: an XScreenSaver hack and a window of its own, or, with --headless, the
// renderer that needs no display.
#include <cstring>

#include "headless/headless.h"
#include "x11/x11_host.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "-headless") == 0) {
            return roses::headless_main(argc, argv);
        }
    }
    return roses::x11_main(argc, argv);
}
