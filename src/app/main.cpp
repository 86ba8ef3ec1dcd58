// The Linux program: an XScreenSaver hack and a window of its own, the saver or a background
// on Wayland with -wayland or -wayland-background, or, with --headless, the renderer that
// needs no display. Only this file knows all the hosts.
#include <cstdio>
#include <string_view>

#include "headless/headless.h"
#include "options/option_reader.h"
#include "options/option_table.h"
#include "x11/x11_host.h"
#ifdef ROSES_HAVE_WAYLAND
#include "wayland/wayland_host.h"
#endif

namespace {

int wayland(int argc, char** argv) {
#ifdef ROSES_HAVE_WAYLAND
    return roses::wayland_main(argc, argv);
#else
    (void)argc;
    (void)argv;
    std::fputs("roses: this roses was built without the Wayland host\n", stderr);
    return 2;
#endif
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        // With one dash or two, as every option of the program may be written.
        const std::string_view name = roses::option_name(argv[i]);
        if (name == roses::options::headless.name) {
            return roses::headless_main(argc, argv);
        }
        if (name == roses::options::wayland.name ||
            name == roses::options::wayland_background.name) {
            return wayland(argc, argv);
        }
    }
    return roses::x11_main(argc, argv);
}
