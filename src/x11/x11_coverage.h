// Whether a window can be seen, as far as the windows stacked over it and the window
// manager's state tell. The server reports a covered window itself (VisibilityFullyObscured),
// but not under a compositing manager: a redirected window is never obscured, so there the
// stack is read here. A minimised window, or one inside an unmapped or off-screen top-level,
// is not seen in any case.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace roses {

// A rectangle in root window pixels: from left to right and from top to bottom, the right
// and bottom edges outside it.
struct screen_rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Whether some part of area is left once every rectangle of covers is taken from it. A stack
// of many small windows could split what is left into very many pieces: past a bound it
// answers true, so that a window is drawn rather than wrongly left blank.
bool shows_through(screen_rect area, std::span<const screen_rect> covers);

// What the windows and the window manager's state say of a window.
enum class window_sight {
    seen,
    // Minimised, or its top-level unmapped or off the screen.
    hidden,
    // Under opaque windows, as their visuals and opacity properties tell; a compositing
    // manager may still show it through them by translucency of its own (inactive windows,
    // rules, frames), which no property says.
    stacked_under,
};

class window_coverage {
  public:
    // Starts following the window: its top-level's place in the stack of the root's children,
    // the windows above it and its client's state. Nothing is followed for a root window,
    // which nothing can cover.
    void watch(Display* display, Window window);

    // Notes what the event changes, without asking the server anything.
    void follow(const XEvent& event);

    // Hidden when the window's client is minimised or its top-level is unmapped or lies off
    // the screen; stacked under when, under a compositing manager, opaque windows above the
    // top-level cover all of it that lies on the screen. Asks the server again only after
    // something changed, and whether a compositing manager runs once a second; what each
    // window above lets through is asked once, and again only after that window's own
    // opacity, shape, size or client changed.
    window_sight sight();

  private:
    // What the stack needs of one of the root's children; kept up to date from its events.
    struct child {
        screen_rect outer; // border included
        std::int32_t border = 0;
        bool viewable = false;
        bool input_output = true;
        int depth = 0;
        bool watched = false; // its opacity and shape changes are reported to us
        // What it hides of the windows below, once asked: nothing, its whole outer rectangle,
        // or one rectangle of it (opaque_part, from the outer corner) where its shape is one.
        bool answer_known = false;
        bool opaque = false;
        bool whole = false;
        screen_rect opaque_part{};
    };

    child* child_of_root(Window window);
    void read_server();
    void find_top_level();
    bool minimised();
    window_sight stack_sight();
    bool covers(Window window, child& known, screen_rect& cover);
    void ask_what_it_hides(Window window, child& known);
    bool translucent(Window top, Window window, int levels);
    void forget_answer(Window window);
    void drop_child(Window window);

    Display* display = nullptr;
    Window window = 0;
    Window root = 0;
    screen_rect screen{};
    Atom compositor_selection = 0;
    Atom opacity = 0;
    Atom wm_state = 0;
    Atom net_wm_state = 0;
    Atom state_hidden = 0;
    int shape_event = -1; // ShapeNotify's event type, or -1 without the Shape extension

    // The window and its ancestors up to the root's child that holds them all, which may be
    // a window manager's frame; the client is the one the window manager keeps state on.
    std::vector<Window> chain;
    Window client = 0;
    std::unordered_map<Window, child> children;
    // The windows inside a child of the root whose opacity counts for it (a frame's client),
    // each with that child: a change of theirs is one of the child's.
    std::unordered_map<Window, Window> inner_owner;
    // Requests that have no reply were sent while the stack was read: their errors arrive
    // only once the server has seen them.
    bool unchecked_requests = false;

    bool compositing = false;
    std::chrono::steady_clock::time_point compositor_asked{};
    bool chain_changed = true;
    bool state_changed = true;
    bool stack_changed = true;
    bool hidden = false;
    window_sight stack = window_sight::seen;
};

} // namespace roses
