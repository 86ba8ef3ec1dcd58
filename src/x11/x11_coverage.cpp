#include "x11/x11_coverage.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace roses {
namespace {

// Enough for any real stack; beyond it the answer is "shows through", which costs a frame
// and never hides one.
constexpr std::size_t most_pieces = 4096;
// How far below a frame a window manager puts the client, whose opacity counts too.
constexpr int client_levels = 2;
constexpr unsigned long fully_opaque = 0xffffffffUL;
constexpr auto compositor_period = std::chrono::seconds(1);

bool is_empty(const screen_rect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

bool overlap(const screen_rect& a, const screen_rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool contains(const screen_rect& outer, const screen_rect& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

screen_rect intersection(const screen_rect& a, const screen_rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// X positions a window by the outer corner of its border; its size excludes the border.
screen_rect outer_rect(int x, int y, int width, int height, int border) {
    return {x, y, x + width + 2 * border, y + height + 2 * border};
}

// Windows come and go between one request and the next, so while the stack is read an
// error about a window other than the one drawn into only says that window has gone: it is
// expected, and the window simply counts for nothing. Every other error goes on to the
// handler that was there before.
Window trap_owner = 0;
XErrorHandler outer_handler = nullptr;

int ignore_gone_windows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow && error->resourceid != trap_owner) {
        return 0;
    }
    return outer_handler != nullptr ? outer_handler(display, error) : 0;
}

class gone_windows_ignored {
  public:
    gone_windows_ignored(Display* display, Window owner, bool& unchecked)
        : display(display), unchecked(unchecked) {
        trap_owner = owner;
        outer_handler = XSetErrorHandler(ignore_gone_windows);
    }
    ~gone_windows_ignored() {
        // The errors of requests that have no reply arrive only once the server has seen them;
        // those with a reply have had theirs already, and need no round trip more.
        if (unchecked) {
            XSync(display, False);
            unchecked = false;
        }
        XSetErrorHandler(outer_handler);
    }
    gone_windows_ignored(const gone_windows_ignored&) = delete;
    gone_windows_ignored& operator=(const gone_windows_ignored&) = delete;

  private:
    Display* display;
    bool& unchecked;
};

void add_events(Display* display, Window window, long mask) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) != 0) {
        XSelectInput(display, window, attributes.your_event_mask | mask);
    }
}

// A property of 32-bit items, as Xlib hands them over (one long each); empty when the
// window has none of that type.
std::vector<long> property_items(Display* display, Window window, Atom property, Atom type,
                                 long most) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(display, window, property, 0, most, False, type, &actual, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (actual == type && format == 32) {
            const long* values = reinterpret_cast<const long*>(data);
            items.assign(values, values + count);
        }
        XFree(data);
    }
    return items;
}

bool has_property(Display* display, Window w, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, w, property, 0, 0, False, AnyPropertyType, &type,
                                          &format, &count, &remaining, &data) == Success &&
                       type != None;
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

std::vector<Window> children_of(Display* display, Window window, Window* parent = nullptr) {
    Window root = 0;
    Window up = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<Window> children;
    if (XQueryTree(display, window, &root, &up, &list, &count) == 0) {
        return children;
    }
    if (list != nullptr) {
        children.assign(list, list + count);
        XFree(list);
    }
    if (parent != nullptr) {
        *parent = up;
    }
    return children;
}

} // namespace

bool shows_through(screen_rect area, std::span<const screen_rect> covers) {
    std::vector<screen_rect> left;
    if (!is_empty(area)) {
        left.push_back(area);
    }
    std::vector<screen_rect> next;
    for (const screen_rect& cover : covers) {
        next.clear();
        for (const screen_rect& piece : left) {
            if (!overlap(piece, cover)) {
                next.push_back(piece);
                continue;
            }
            // The bands above and below the cover, then what lies beside it between them.
            const std::int32_t top = std::max(piece.top, cover.top);
            const std::int32_t bottom = std::min(piece.bottom, cover.bottom);
            if (piece.top < cover.top) {
                next.push_back({piece.left, piece.top, piece.right, cover.top});
            }
            if (cover.bottom < piece.bottom) {
                next.push_back({piece.left, cover.bottom, piece.right, piece.bottom});
            }
            if (piece.left < cover.left) {
                next.push_back({piece.left, top, cover.left, bottom});
            }
            if (cover.right < piece.right) {
                next.push_back({cover.right, top, piece.right, bottom});
            }
        }
        left.swap(next);
        if (left.empty() || left.size() > most_pieces) {
            break;
        }
    }
    return !left.empty();
}

void window_coverage::watch(Display* display_to_use, Window watched) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_to_use, watched, &attributes) == 0 ||
        attributes.root == watched) {
        return;
    }
    display = display_to_use;
    window = watched;
    root = attributes.root;
    XWindowAttributes root_attributes{};
    XGetWindowAttributes(display, root, &root_attributes);
    screen = {0, 0, root_attributes.width, root_attributes.height};

    // A compositing manager owns this selection for the screen it composites (EWMH).
    std::string selection =
        "_NET_WM_CM_S" + std::to_string(XScreenNumberOfScreen(attributes.screen));
    const char* names[] = {selection.c_str(), "_NET_WM_WINDOW_OPACITY", "WM_STATE", "_NET_WM_STATE",
                           "_NET_WM_STATE_HIDDEN"};
    Atom atoms[std::size(names)] = {};
    XInternAtoms(display, const_cast<char**>(names), static_cast<int>(std::size(names)), False,
                 atoms);
    compositor_selection = atoms[0];
    opacity = atoms[1];
    wm_state = atoms[2];
    net_wm_state = atoms[3];
    state_hidden = atoms[4];

    int shape_error = 0;
    if (XShapeQueryExtension(display, &shape_event, &shape_error)) {
        shape_event += ShapeNotify;
    } else {
        shape_event = -1;
    }
    // Every map, unmap, move, restack, creation and destruction among the root's children,
    // and the screen's own size.
    add_events(display, root, SubstructureNotifyMask | StructureNotifyMask);
}

void window_coverage::follow(const XEvent& event) {
    if (display == nullptr) {
        return;
    }
    // A window manager's synthetic ConfigureNotify tells a client where it is on the screen,
    // not where a child of the root is: only the server's own events update what is known.
    const bool real = !event.xany.send_event;
    auto known = [&](Window child_window) -> child* {
        auto found = children.find(child_window);
        return real && found != children.end() ? &found->second : nullptr;
    };
    auto in_chain = [&](Window w) {
        return std::find(chain.begin(), chain.end(), w) != chain.end();
    };
    switch (event.type) {
    case ConfigureNotify: {
        const XConfigureEvent& configure = event.xconfigure;
        if (real && configure.window == root) {
            screen = {0, 0, configure.width, configure.height};
        } else if (child* c = known(configure.window)) {
            const screen_rect moved = outer_rect(configure.x, configure.y, configure.width,
                                                 configure.height, configure.border_width);
            // A move changes nothing of what it lets through; a new size may reshape it.
            if (moved.right - moved.left != c->outer.right - c->outer.left ||
                moved.bottom - moved.top != c->outer.bottom - c->outer.top ||
                configure.border_width != c->border) {
                c->answer_known = false;
            }
            c->outer = moved;
            c->border = configure.border_width;
        }
        stack_changed = true;
        break;
    }
    case GravityNotify:
        if (child* c = known(event.xgravity.window)) {
            c->outer = {event.xgravity.x, event.xgravity.y,
                        event.xgravity.x + (c->outer.right - c->outer.left),
                        event.xgravity.y + (c->outer.bottom - c->outer.top)};
        }
        stack_changed = true;
        break;
    case MapNotify:
        if (child* c = known(event.xmap.window)) {
            // A frame is mapped once its client is inside, which may be a new one.
            c->viewable = true;
            c->answer_known = false;
        }
        stack_changed = true;
        break;
    case UnmapNotify:
        if (child* c = known(event.xunmap.window)) {
            c->viewable = false;
        }
        stack_changed = true;
        break;
    case DestroyNotify:
        drop_child(event.xdestroywindow.window);
        stack_changed = true;
        break;
    case ReparentNotify:
        // A client taken into a frame or given back: the frame shows its opacity now, or no
        // longer.
        forget_answer(event.xreparent.window);
        forget_answer(event.xreparent.parent);
        if (event.xreparent.parent != root) {
            drop_child(event.xreparent.window);
        }
        chain_changed = chain_changed || in_chain(event.xreparent.window);
        stack_changed = true;
        break;
    case CreateNotify:
    case CirculateNotify:
        stack_changed = true;
        break;
    case PropertyNotify: {
        const Atom atom = event.xproperty.atom;
        if (atom == opacity) {
            forget_answer(event.xproperty.window);
            stack_changed = true;
        } else if (atom == wm_state || atom == net_wm_state) {
            if (in_chain(event.xproperty.window)) {
                // A window manager that starts managing the window names its client anew.
                chain_changed = chain_changed || atom == wm_state;
                state_changed = true;
            } else if (atom == wm_state) {
                // Where a frame keeps its client, whose opacity counts, may have changed.
                forget_answer(event.xproperty.window);
                stack_changed = true;
            }
        }
        break;
    }
    default:
        if (event.type == shape_event) {
            forget_answer(event.xany.window);
            stack_changed = true;
        }
        break;
    }
}

window_sight window_coverage::sight() {
    if (display == nullptr) {
        return window_sight::seen;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - compositor_asked >= compositor_period) {
        // Its coming and going raises no event that we select: asked about, like DPMS.
        compositor_asked = now;
        const bool owned = XGetSelectionOwner(display, compositor_selection) != None;
        stack_changed = stack_changed || owned != compositing;
        compositing = owned;
    }
    if (chain_changed || state_changed || stack_changed) {
        read_server();
    }
    return hidden ? window_sight::hidden : stack;
}

void window_coverage::read_server() {
    gone_windows_ignored trap(display, window, unchecked_requests);
    if (chain_changed) {
        chain_changed = false;
        find_top_level();
    }
    if (state_changed) {
        state_changed = false;
        hidden = minimised();
    }
    if (stack_changed) {
        stack_changed = false;
        stack = stack_sight();
    }
}

void window_coverage::find_top_level() {
    chain.clear();
    client = 0;
    for (Window at = window;;) {
        Window parent = 0;
        children_of(display, at, &parent);
        if (parent == 0) {
            // Gone: the host learns so from its own window.
            chain.clear();
            client = 0;
            return;
        }
        chain.push_back(at);
        add_events(display, at, PropertyChangeMask);
        unchecked_requests = true;
        if (client == 0 && has_property(display, at, wm_state)) {
            client = at;
        }
        if (parent == root) {
            break;
        }
        at = parent;
    }
    if (client == 0) {
        // No window manager: the top-level is what one would manage.
        client = chain.back();
    }
    state_changed = true;
    stack_changed = true;
}

bool window_coverage::minimised() {
    if (client == 0) {
        return false;
    }
    const auto state = property_items(display, client, wm_state, wm_state, 1);
    if (!state.empty() && state[0] == IconicState) {
        return true;
    }
    constexpr long most_states = 64;
    const auto states = property_items(display, client, net_wm_state, XA_ATOM, most_states);
    return std::find(states.begin(), states.end(), static_cast<long>(state_hidden)) != states.end();
}

window_sight window_coverage::stack_sight() {
    if (chain.empty()) {
        return window_sight::seen;
    }
    const Window top = chain.back();
    const child* mine = child_of_root(top);
    if (mine == nullptr) {
        return window_sight::seen;
    }
    // Nothing inside an unmapped top-level is viewable, and the server says nothing about it
    // to a window further down (a preview inside a settings window that is closed).
    if (!mine->viewable) {
        return window_sight::hidden;
    }
    // A window manager may park a window of another workspace off the screen.
    const screen_rect area = intersection(mine->outer, screen);
    if (is_empty(area)) {
        return window_sight::hidden;
    }
    if (!compositing) {
        return window_sight::seen; // the server's VisibilityNotify says the rest
    }
    const std::vector<Window> stack = children_of(display, root);
    const auto at = std::find(stack.begin(), stack.end(), top);
    if (at == stack.end()) {
        return window_sight::seen;
    }
    std::vector<screen_rect> opaque;
    // From the top down: a window that covers everything ends the search soonest.
    for (auto above = stack.rbegin(); above.base() != at + 1; ++above) {
        child* other = child_of_root(*above);
        if (other == nullptr || !other->viewable || !other->input_output ||
            !overlap(other->outer, area)) {
            continue;
        }
        screen_rect cover{};
        if (!covers(*above, *other, cover)) {
            continue;
        }
        if (contains(cover, area)) {
            return window_sight::stacked_under;
        }
        opaque.push_back(cover);
    }
    return shows_through(area, opaque) ? window_sight::seen : window_sight::stacked_under;
}

window_coverage::child* window_coverage::child_of_root(Window child_window) {
    if (auto found = children.find(child_window); found != children.end()) {
        return &found->second;
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, child_window, &attributes) == 0) {
        return nullptr;
    }
    child c;
    c.outer = outer_rect(attributes.x, attributes.y, attributes.width, attributes.height,
                         attributes.border_width);
    c.border = attributes.border_width;
    c.viewable = attributes.map_state == IsViewable;
    c.input_output = attributes.c_class == InputOutput;
    c.depth = attributes.depth;
    return &children.emplace(child_window, c).first->second;
}

bool window_coverage::covers(Window other, child& known, screen_rect& cover) {
    if (!known.answer_known) {
        ask_what_it_hides(other, known);
    }
    if (!known.opaque) {
        return false;
    }
    cover = known.outer;
    if (!known.whole) {
        cover = {known.outer.left + known.opaque_part.left, known.outer.top + known.opaque_part.top,
                 known.outer.left + known.opaque_part.right,
                 known.outer.top + known.opaque_part.bottom};
    }
    return true;
}

void window_coverage::ask_what_it_hides(Window other, child& known) {
    if (!known.watched) {
        // Asked for before the first reading, so that no later change goes unreported.
        XSelectInput(display, other, PropertyChangeMask);
        if (shape_event >= 0) {
            XShapeSelectInput(display, other, ShapeNotifyMask);
        }
        unchecked_requests = true;
        known.watched = true;
    }
    known.answer_known = true;
    known.opaque = false;
    known.whole = false;
    std::erase_if(inner_owner, [&](const auto& inner) { return inner.second == other; });
    // An alpha channel (a 32-bit visual) or an opacity below full lets what is under it show.
    constexpr int alpha_depth = 32;
    if (known.depth == alpha_depth || translucent(other, other, client_levels)) {
        return;
    }
    if (shape_event < 0) {
        known.opaque = known.whole = true;
        return;
    }
    Bool bounding_shaped = False;
    Bool clip_shaped = False;
    int bounding_x = 0;
    int bounding_y = 0;
    unsigned bounding_width = 0;
    unsigned bounding_height = 0;
    int clip_x = 0;
    int clip_y = 0;
    unsigned clip_width = 0;
    unsigned clip_height = 0;
    if (XShapeQueryExtents(display, other, &bounding_shaped, &bounding_x, &bounding_y,
                           &bounding_width, &bounding_height, &clip_shaped, &clip_x, &clip_y,
                           &clip_width, &clip_height) == 0) {
        return;
    }
    if (!bounding_shaped) {
        known.opaque = known.whole = true;
        return;
    }
    // A shape of one rectangle covers that rectangle; any other shape has holes or corners
    // cut away, and counts for nothing.
    int count = 0;
    int ordering = 0;
    XRectangle* rectangles = XShapeGetRectangles(display, other, ShapeBounding, &count, &ordering);
    if (rectangles != nullptr && count == 1) {
        // Shapes are measured from the window's origin, inside its border.
        const std::int32_t left = known.border + rectangles[0].x;
        const std::int32_t top = known.border + rectangles[0].y;
        known.opaque = true;
        known.opaque_part = {left, top, left + rectangles[0].width, top + rectangles[0].height};
    }
    if (rectangles != nullptr) {
        XFree(rectangles);
    }
}

bool window_coverage::translucent(Window top, Window other, int levels) {
    const auto value = property_items(display, other, opacity, XA_CARDINAL, 1);
    if (!value.empty() && (static_cast<unsigned long>(value[0]) & fully_opaque) != fully_opaque) {
        return true;
    }
    // A window manager's frame may carry no opacity of its own and show its client's; a
    // client (it has WM_STATE) is where the search ends.
    if (levels == 0 || has_property(display, other, wm_state)) {
        return false;
    }
    for (Window inner : children_of(display, other)) {
        XSelectInput(display, inner, PropertyChangeMask);
        unchecked_requests = true;
        inner_owner[inner] = top;
        if (translucent(top, inner, levels - 1)) {
            return true;
        }
    }
    return false;
}

void window_coverage::drop_child(Window gone) {
    children.erase(gone);
    std::erase_if(inner_owner, [&](const auto& inner) { return inner.second == gone; });
}

void window_coverage::forget_answer(Window changed) {
    if (auto found = children.find(changed); found != children.end()) {
        found->second.answer_known = false;
    } else if (auto inner = inner_owner.find(changed); inner != inner_owner.end()) {
        if (auto owner = children.find(inner->second); owner != children.end()) {
            owner->second.answer_known = false;
        }
    }
}

} // namespace roses
