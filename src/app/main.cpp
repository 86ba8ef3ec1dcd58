// The Linux program: an XScreenSaver hack and a window of its own, or, with --headless, the
// renderer that needs no display. Only this file knows both hosts.
#include <string_view>

#include "headless/headless.h"
#include "x11/x11_host.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--headless" || word == "-headless") {
            return roses::headless_main(argc, argv);
        }
    }
    return roses::x11_main(argc, argv);
}
