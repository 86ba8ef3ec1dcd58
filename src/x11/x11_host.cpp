// The X11 host: the option words, then the paced loop of the Linux hosts on the X
// connection, stepping and drawing at each wake as the scenes' frame step says.
#include "x11/x11_host.h"

#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/gl_renderer.h"
#include "gl_context/gl_driver.h"
#include "gl_context/multisample_buffer.h"
#include "options/command_line.h"
#include "options/option_table.h"
#include "power/power_watch.h"
#include "random/random.h"
#include "run_loop/paced_loop.h"
#include "run_loop/signal_handling.h"
#include "scene/frame_clock.h"
#include "scene/frame_step.h"
#include "scene/software_renderer.h"
#include "x11/x11_damage_check.h"
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

// With vsync the swap paces the frames; the frame clock's own period only keeps a swap that
// does not wait (a server without a real vertical blank) from spinning the processor.
constexpr double vsync_headroom = 2.0;
// How often the damage check compares the window with a whole frame.
constexpr std::uint64_t damage_check_frames = 10;
// A compositing manager may show a window through others by a translucency of its own that
// no property tells (inactive windows, rules, frames): one that only the stack says is
// covered is drawn this often rather than left frozen where it can still be seen.
constexpr auto stacked_under_period = std::chrono::seconds(1);

// How often frames are drawn: the clock's one rule, with the display's rate as the most this
// host, which wakes itself for its frames, may draw (twice that where vsync paces the swaps),
// and the cap while saving power.
frame_pacing pacing_for(const x11_options& options, const std::string& renderer,
                        x11_surface& surface, bool vsync_paces,
                        std::optional<std::int32_t> saving_fps) {
    frame_pacing pacing =
        choose_pacing(options.max_fps, renderer, paced_ticks_per_second, 0.0, saving_fps);
    if (!pacing.once_a_step) {
        const double rate = refresh_rate(surface);
        pacing = choose_pacing(options.max_fps, renderer, paced_ticks_per_second,
                               vsync_paces ? rate * vsync_headroom : rate, saving_fps);
    }
    return pacing;
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
        // The root's substructure is watched too, so a window of ours reports its map twice.
        if (event.type == MapNotify && event.xmap.window == surface.window &&
            event.xmap.event == surface.window) {
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
// change all show up as ConfigureNotify. The new size is only noted here; the picture is laid
// out for it once the queued events are handled, so a burst of resizes costs one layout.
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
    const std::string renderer = gl_renderer_name();
    // In the window's own context, whatever visual it has: before the layout, so that the
    // scenes' first clear is of the samples.
    multisample_buffer samples;
    samples.create(choose_samples(options.samples, renderer), surface.width, surface.height);

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
    // The damage check compares two drawings of one frame: its gardens tick on this thread,
    // between the frames, rather than on workers of their own.
    const bool checking = damage_check_wanted();
    std::uint64_t frames_drawn = 0;
    // Paced once the presentation is chosen, below.
    auto frames = std::make_unique<frame_step>(!checking, paced_ticks(step_period), frame_pacing{});
    auto lay_out = [&] {
        // Every monitor of the screen shows at the desktop's one scale.
        frames->lay_out(monitors ? monitors->current() : std::vector<monitor_rect>(),
                        {surface.width, surface.height, scale});
    };
    lay_out();
    std::int32_t laid_out_width = surface.width;
    std::int32_t laid_out_height = surface.height;
    bool monitors_moved = false;

    power_watch power(options.battery_fps);
    // Frames are presented one way for the whole run: a real vertical blank (never a software
    // renderer's) paces swaps, which copying a box would not.
    const bool vsync_paces = use_vsync(surface) && !software_renderer(renderer);
    choose_presentation(surface, vsync_paces);
    frames->set_pacing(pacing_for(options, renderer, surface, vsync_paces, power.cap()));
    frames->start(paced_ticks(paced_clock::now()));
    bool was_seen = false;
    std::optional<std::int64_t> drawn_stacked_under;
    paced_loop_steps steps;
    steps.handle_events = [&] {
        // Xlib may already hold events that the socket no longer shows: drain them first.
        while (XPending(surface.display) > 0) {
            XEvent event;
            XNextEvent(surface.display, &event);
            follow_size(event, surface);
            follow_visibility(event, surface);
            monitors_moved = (monitors && monitors->changed(event)) || monitors_moved;
            if (event.type == Expose && event.xexpose.window == surface.window) {
                // The server has lost part of what the window showed.
                frames->invalidate();
            }
            if (!options.scale && resources_changed(surface.display, event)) {
                // Laid out again below, the roses kept.
                scale = resource_scale(surface.display);
                monitors_moved = true;
            }
            if (ends_program(event, options, surface, dismissal)) {
                return false;
            }
        }
        if (surface.width != laid_out_width || surface.height != laid_out_height ||
            monitors_moved) {
            // Viewports, projections and the roses' layout, as at the start; the scenes move
            // their poses along, so the next frame shows the new layout at once.
            if (surface.width != laid_out_width || surface.height != laid_out_height) {
                follow_new_size(surface);
            }
            samples.resize(surface.width, surface.height);
            lay_out();
            laid_out_width = surface.width;
            laid_out_height = surface.height;
            monitors_moved = false;
        }
        return !surface_window_lost();
    };
    // The samples' buffer keeps each frame until the next, whatever the window's own buffer
    // does; that one then takes what changed where frames are copied out of it a box at a
    // time, and all of it where they are swapped.
    const frame_step::buffer_age age = [&]() -> std::optional<int> {
        return samples.active() ? 1 : buffer_age(surface);
    };
    steps.run_due = [&](paced_clock::time_point time) {
        const auto now = paced_ticks(time);
        // The loop wakes at every step at least, which is soon enough for a change of power.
        if (power.update()) {
            frames->set_pacing(pacing_for(options, renderer, surface, vsync_paces, power.cap()));
        }
        // A window nobody can see is not drawn, and wakes only for the steps, which go on.
        bool stacked_under_due = false;
        const frame_step::sight seen = [&] {
            const window_sight sight = surface_sight(surface);
            stacked_under_due = sight == window_sight::stacked_under &&
                                (!drawn_stacked_under ||
                                 now - *drawn_stacked_under >= paced_ticks(stacked_under_period));
            const bool shown = sight == window_sight::seen || stacked_under_due;
            if (shown && !was_seen) {
                // What it showed may be gone.
                frames->invalidate();
            }
            was_seen = shown;
            return shown;
        };
        const frame_step::woken woke = frames->wake(now, seen, age);
        if (woke.drawn) {
            if (surface.copy_sub_buffer != nullptr) {
                samples.resolve(*woke.changed);
            } else {
                samples.resolve();
            }
            present_frame(surface, scale, frames->steps(), *woke.changed);
            if (stacked_under_due) {
                drawn_stacked_under = now;
            }
            if (checking && ++frames_drawn % damage_check_frames == 0) {
                check_damage(surface, frames->scenes(), samples, *woke.f);
            }
        }
        return paced_time(woke.wake);
    };
    steps.before_wait = [&] {
        // The frame's round trips (DPMS, the compositor's selection, coverage, the driver's
        // own) read whatever had arrived into Xlib's queue, where poll on the socket cannot
        // see it: a key or an Expose would wait there for the next step.
        XFlush(surface.display);
        return XEventsQueued(surface.display, QueuedAlready) == 0;
    };
    run_paced_loop(ConnectionNumber(surface.display), stop_fd, steps);

    frames.reset();
    close_surface(surface);
    return exit_ok;
}

} // namespace

int x11_main(int argc, char** argv) {
    const auto parsed = parse_x11_options(argc, argv);
    if (const auto settled = settle_command_line(parsed, options::x11_command_line)) {
        return *settled;
    }
    const x11_options& options = parsed.options;
    if (options.version) {
        std::printf("roses %s\n", ROSES_VERSION);
        return exit_ok;
    }
    draw_on_calling_thread();
    if (options.seed) {
        reseed_random(*options.seed);
    }
    return with_stop_signals([&options](int stop_fd) { return run(options, stop_fd); });
}

} // namespace roses
