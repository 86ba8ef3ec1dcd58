// The X11 host: the option words, then the paced loop of the Linux hosts on the X
// connection, stepping every 50 ms and drawing at the display's rate.
#include "x11/x11_host.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "linux/paced_loop.h"
#include "linux/process.h"
#include "linux/renderer.h"
#include "linux/signal_handling.h"
#include "random/random.h"
#include "scene/monitor_scenes.h"
#include "x11/x11_dismissal.h"
#include "x11/x11_monitors.h"
#include "x11/x11_options.h"
#include "x11/x11_scale.h"
#include "x11/x11_surface.h"

#ifndef ROSES_VERSION
#define ROSES_VERSION "unknown"
#endif

namespace roses {
namespace {

constexpr std::chrono::milliseconds step_period{50};
// With vsync the swap paces the frames; this only keeps a swap that does not wait (a server
// without a real vertical blank) from spinning the processor.
constexpr double vsync_headroom = 2.0;

// How often frames are drawn, or nothing for one frame a step: a software renderer pays a
// processor for every frame, so it draws more only when the command line asks.
std::optional<std::chrono::nanoseconds> frame_period(const x11_options& options,
                                                     x11_surface& surface) {
    if (!options.max_fps && software_renderer()) {
        return std::nullopt;
    }
    const double display_rate = refresh_rate(surface);
    double rate = use_vsync(surface) ? display_rate * vsync_headroom : display_rate;
    if (options.max_fps) {
        rate = std::min(rate, static_cast<double>(*options.max_fps));
    }
    return std::chrono::nanoseconds(static_cast<std::int64_t>(1e9 / rate));
}

// True when the event ends the program. A hack never handles input: keys and the pointer
// belong to whoever made its window.
bool ends_program(const XEvent& event, const x11_options& options, x11_surface& surface,
                  saver_dismissal& dismissal) {
    if (event.type == DestroyNotify && event.xdestroywindow.window == surface.window) {
        surface.own_window = false;
        return true;
    }
    switch (options.target) {
    case x11_target::saver:
        if (event.type == MapNotify && event.xmap.window == surface.window) {
            // Keys reach the saver only once it holds the focus, and it can take the focus
            // only once it is visible.
            XSetInputFocus(surface.display, surface.window, RevertToParent, CurrentTime);
        }
        return dismissal.closes(event);
    case x11_target::own_window:
        if (event.type == ClientMessage &&
            static_cast<Atom>(event.xclient.data.l[0]) == surface.delete_window) {
            return true;
        }
        if (event.type == KeyPress) {
            KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
            return key == XK_q || key == XK_Q || key == XK_Escape;
        }
        return false;
    case x11_target::window_id:
    case x11_target::root:
        return false;
    }
    return false;
}

// Follows the size of the window: a settings preview pane, a resized window and a monitor
// change all show up as ConfigureNotify. The new size is only noted here; the next frame
// lays the picture out for it, so a burst of resizes costs one layout.
void follow_size(const XEvent& event, x11_surface& surface) {
    if (event.type != ConfigureNotify) {
        return;
    }
    const XConfigureEvent& configure = event.xconfigure;
    if (configure.window == surface.window) {
        surface.width = configure.width;
        surface.height = configure.height;
    } else if (surface.own_window && configure.window == surface.root) {
        // The full-screen saver covers the whole screen, whatever its size has become.
        XMoveResizeWindow(surface.display, surface.window, 0, 0,
                          static_cast<unsigned>(configure.width),
                          static_cast<unsigned>(configure.height));
    }
}

// Where the pointer is when the saver starts: movement is measured from here.
saver_dismissal dismissal_from_pointer(Display* display) {
    Window root_return = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int window_x = 0;
    int window_y = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root_return, &child, &x, &y, &window_x,
                  &window_y, &mask);
    return saver_dismissal(x, y);
}

int run(const x11_options& options, int stop_fd) {
    x11_surface surface;
    if (auto error = open_surface(options, surface); !error.empty()) {
        return complain(exit_environment, error);
    }
    saver_dismissal dismissal = dismissal_from_pointer(surface.display);

    // The full-screen saver gives every monitor a figure of its own. A window of XScreenSaver's
    // is already one monitor's, and any other window is laid out as one picture.
    std::unique_ptr<x11_monitors> monitors;
    if (options.target == x11_target::saver) {
        monitors = std::make_unique<x11_monitors>(surface.display, surface.root);
    }
    // The display's own scale unless the command line gives one; a desktop that changes its
    // scaling while we run rewrites the resources. It holds for every monitor alike.
    if (!options.scale) {
        watch_resources(surface.display);
    }
    double scale = options.scale ? *options.scale : resource_scale(surface.display);
    auto scenes = std::make_unique<monitor_scenes>();
    auto lay_out = [&] {
        // Every monitor of the screen shows at the desktop's one scale.
        scenes->lay_out(monitors ? monitors->current() : std::vector<monitor_rect>(),
                        {surface.width, surface.height, scale});
    };
    lay_out();
    std::int32_t laid_out_width = surface.width;
    std::int32_t laid_out_height = surface.height;
    bool monitors_moved = false;

    std::uint64_t steps_taken = 0;
    paced_loop_steps steps;
    steps.handle_events = [&] {
        // Xlib may already hold events that the socket no longer shows: drain them first.
        while (XPending(surface.display) > 0) {
            XEvent event;
            XNextEvent(surface.display, &event);
            follow_size(event, surface);
            follow_visibility(event, surface);
            monitors_moved = (monitors && monitors->changed(event)) || monitors_moved;
            if (!options.scale && resources_changed(surface.display, event)) {
                // Laid out again at the next frame, the roses kept.
                scale = resource_scale(surface.display);
                monitors_moved = true;
            }
            if (ends_program(event, options, surface, dismissal)) {
                return false;
            }
        }
        return !surface_window_lost();
    };
    auto follow_layout = [&] {
        if (surface.width != laid_out_width || surface.height != laid_out_height ||
            monitors_moved) {
            // Viewports, projections and the roses' layout, as at the start.
            lay_out();
            laid_out_width = surface.width;
            laid_out_height = surface.height;
            monitors_moved = false;
        }
    };
    steps.draw_frame = [&] {
        follow_layout();
        ++steps_taken;
        if (!surface_seen(surface)) {
            // Nobody would see the frame: the scenes step on without drawing it.
            scenes->step();
            return;
        }
        scenes->render();
        present_frame(surface, steps_taken);
    };
    steps.before_wait = [&] {
        XFlush(surface.display);
        return true;
    };
    const int display_fd = ConnectionNumber(surface.display);
    if (const auto period = frame_period(options, surface)) {
        stepped_loop_steps stepped;
        stepped.handle_events = steps.handle_events;
        stepped.take_step = [&] {
            follow_layout();
            scenes->step();
            ++steps_taken;
        };
        stepped.draw_frame = [&](double f) {
            follow_layout();
            if (!surface_seen(surface)) {
                return; // the steps go on all the same
            }
            scenes->draw(f);
            present_frame(surface, steps_taken);
        };
        stepped.before_wait = steps.before_wait;
        run_stepped_loop(display_fd, stop_fd, step_period, *period, stepped);
    } else {
        run_paced_loop(display_fd, stop_fd, step_period, steps);
    }

    scenes.reset();
    close_surface(surface);
    return exit_ok;
}

} // namespace

int x11_main(int argc, char** argv) {
    const auto parsed = parse_x11_options(argc, argv);
    if (const auto settled = settle_command_line(parsed, x11_usage())) {
        return *settled;
    }
    const x11_options& options = parsed.options;
    if (options.version) {
        std::printf("roses %s\n", ROSES_VERSION);
        return exit_ok;
    }
    if (options.seed) {
        reseed_random(*options.seed);
    }
    return with_stop_signals([&options](int stop_fd) { return run(options, stop_fd); });
}

} // namespace roses
