// The X side of the X11 host: the display connection, the window the frames go to (our own
// or someone else's) and its GLX context.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/frame_damage.h"

#include "x11/x11_coverage.h"
#include "x11/x11_options.h"

namespace roses {

using copy_sub_buffer_function = void (*)(Display*, GLXDrawable, int, int, int, int);

struct x11_surface {
    Display* display = nullptr;
    Window window = 0;
    bool own_window = false; // we made it, so we destroy it
    Colormap colormap = 0;
    Cursor blank_cursor = 0;
    Atom delete_window = 0; // the window manager's close, for our own window
    GLXContext context = nullptr;
    bool double_buffered = false;
    // How a frame reaches the window (choose_presentation): copied a box at a time, which
    // keeps the back buffer as it is; swapped, with GLX saying how old the new back buffer
    // is; or swapped whole.
    copy_sub_buffer_function copy_sub_buffer = nullptr;
    bool buffer_age = false;
    // The root window of the screen drawn on; the full-screen saver follows its size.
    Window root = 0;
    // The window's latest known size; the host lays the picture out for it before a frame.
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Whether a frame could be seen, as the server last said: the window mapped and not
    // covered entirely by others, and the display not switched off (DPMS, where the server
    // has it; it sends no event, so it is asked about once a second).
    bool mapped = false;
    bool fully_obscured = false;
    bool has_dpms = false;
    bool display_off = false;
    std::chrono::steady_clock::time_point dpms_asked{};
    // What the server does not say: the windows above ours under a compositing manager, a
    // minimised client, an unmapped or off-screen top-level.
    window_coverage coverage;
    // A line on standard error for every frame shown (linux/frame_log.h).
    bool log_frames = false;
};

// Connects to the display, finds or makes the window, creates a GLX context for it and makes
// the context current. On failure returns one line for standard error and leaves nothing
// open; the caller exits with the environment's exit code.
[[nodiscard]] std::string open_surface(const x11_options& options, x11_surface& surface);

// Asks GLX to wait for the display's vertical blank at every swap, through whichever of
// GLX_EXT_swap_control and GLX_MESA_swap_control the display offers; false when neither.
bool use_vsync(x11_surface& surface);

// The refresh rate of the monitor that shows most of the window, from RandR; 60 Hz when it
// cannot be told.
double refresh_rate(const x11_surface& surface);
// Notes what an event says about whether the window can be seen: its own MapNotify,
// UnmapNotify and VisibilityNotify, and the stack and state events that coverage follows.
void follow_visibility(const XEvent& event, x11_surface& surface);

// Whether a frame drawn now could be seen by anyone: hidden when it cannot, stacked under
// when only the windows above say so and a compositing manager may show it through them.
window_sight surface_sight(x11_surface& surface);

// Chooses how frames are presented: a box at a time where GLX can copy part of the back
// buffer and no vertical blank paces the swaps (vsync_paces), else by swapping.
void choose_presentation(x11_surface& surface, bool vsync_paces);
// Before the first frame at a new size of the window.
void follow_new_size(x11_surface& surface);
// How many frames old the back buffer's picture is (0 when nothing is known of it).
int buffer_age(x11_surface& surface);
// Shows the frame just drawn, of which the boxes changed (copied where the surface copies,
// else the whole buffer is swapped); it was drawn at scale, the steps taken so far being
// steps (for the frame log).
void present_frame(x11_surface& surface, double scale, std::uint64_t steps,
                   const std::vector<pixel_box>& changed);

// Releases the context and our own window; the connection lasts until the process ends.
void close_surface(x11_surface& surface);

// True once the server has said the window no longer exists (BadWindow, BadDrawable or
// GLXBadDrawable), for instance because it was destroyed between two frames.
bool surface_window_lost();

// Whether an X error says that the window drawn into is gone: a BadWindow or BadDrawable
// about that window, or a GLX drawable error (the one GL drawable is that window). Errors
// about other windows (one a window manager or XScreenSaver destroyed under a request of
// ours) are not.
bool means_window_lost(const XErrorEvent& error, Window own_window, int glx_errors);

} // namespace roses
