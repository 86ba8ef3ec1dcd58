#include "x11/x11_surface.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "display/gl_renderer.h"
#include "events/frame_log.h"
#include "gl_context/gl_driver.h"

namespace roses {
namespace {

// Offsets of the GLX extension's errors that mean the drawable has gone away.
constexpr int glx_bad_drawable = 2;
constexpr int glx_bad_current_window = 5;
constexpr int glx_bad_window = 12;

// Errors arrive asynchronously through Xlib's handler, so what they tell us is kept here and
// read by the main loop between frames.
int glx_error_base = 0;
Window drawn_window = 0;
bool window_lost = false;
bool trapping = false;
unsigned char trapped_error = Success;
int on_x_error(Display* display, XErrorEvent* error) {
    if (trapping) {
        trapped_error = error->error_code;
        return 0;
    }
    if (means_window_lost(*error, drawn_window, glx_error_base)) {
        window_lost = true;
        return 0;
    }
    // Xlib's own handler would end the process; an error about anything but our window is
    // no reason to stop drawing.
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "roses: X error: %s (request %d.%d)\n", text, error->request_code,
                 error->minor_code);
    return 0;
}

[[noreturn]] int on_io_error(Display*) {
    std::fprintf(stderr, "roses: lost the connection to the X display\n");
    std::_Exit(1);
}

// Runs one request synchronously and reports the X error it caused, if any.
template <typename Request> unsigned char trap_errors(Display* display, Request request) {
    XSync(display, False);
    trapping = true;
    trapped_error = Success;
    request();
    XSync(display, False);
    trapping = false;
    return trapped_error;
}

std::string hex_id(unsigned long id) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

// The window XScreenSaver made for us, if it says so in the environment.
std::string find_root_target(x11_surface& surface) {
    surface.window = DefaultRootWindow(surface.display);
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named != nullptr && *named != '\0') {
        auto id = parse_window_id(named);
        if (!id) {
            return std::string("XSCREENSAVER_WINDOW=\"") + named + "\" is not a window id";
        }
        surface.window = *id;
    }
    return {};
}

// Adopts an existing window: the context must use the visual the window was made with.
std::string adopt_window(x11_surface& surface, XVisualInfo*& visual) {
    XWindowAttributes attributes{};
    Status status = 0;
    auto error = trap_errors(surface.display, [&] {
        status = XGetWindowAttributes(surface.display, surface.window, &attributes);
    });
    if (error != Success || status == 0) {
        return "there is no window " + hex_id(surface.window) + " on display " +
               DisplayString(surface.display);
    }
    if (attributes.c_class == InputOnly) {
        return "window " + hex_id(surface.window) + " takes input only and cannot be drawn into";
    }
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    visual = XGetVisualInfo(surface.display, VisualIDMask, &wanted, &count);
    int usable = 0;
    int rgba = 0;
    if (visual != nullptr) {
        glXGetConfig(surface.display, visual, GLX_USE_GL, &usable);
        glXGetConfig(surface.display, visual, GLX_RGBA, &rgba);
    }
    if (!usable || !rgba) {
        return "window " + hex_id(surface.window) + " has visual " + hex_id(wanted.visualid) +
               ", which OpenGL cannot draw into";
    }
    surface.width = attributes.width;
    surface.height = attributes.height;
    // A window mapped under one that is not shows up once its ancestor maps, with no event
    // of its own: only a window that is not mapped at all counts as unseen.
    surface.mapped = attributes.map_state != IsUnmapped;
    // Only the structure and the visibility are watched: input belongs to whoever made the
    // window.
    XSelectInput(surface.display, surface.window,
                 StructureNotifyMask | VisibilityChangeMask | ExposureMask);
    return {};
}

XVisualInfo* choose_visual(Display* display) {
    // Like the Windows pixel format: RGB, double-buffered, no depth, stencil or alpha.
    int full[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                  None};
    int any_double[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    int any[] = {GLX_RGBA, None};
    for (int* attributes : {full, any_double, any}) {
        if (XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes)) {
            return visual;
        }
    }
    return nullptr;
}

Cursor make_blank_cursor(Display* display, Window window) {
    char bits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(display, window, bits, 1, 1);
    XColor black{};
    Cursor cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
    return cursor;
}

// Makes our own window: an ordinary top-level one, or the full-screen saver.
std::string create_window(x11_surface& surface, const x11_options& options, XVisualInfo*& visual) {
    Display* display = surface.display;
    visual = choose_visual(display);
    if (visual == nullptr) {
        return std::string("display ") + DisplayString(display) + " offers no OpenGL visual";
    }
    Window root = RootWindow(display, visual->screen);
    bool saver = options.target == x11_target::saver;
    if (saver) {
        // The root window spans every monitor of the screen.
        XWindowAttributes screen{};
        XGetWindowAttributes(display, root, &screen);
        surface.width = screen.width;
        surface.height = screen.height;
    } else {
        surface.width = options.width;
        surface.height = options.height;
    }
    surface.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = surface.colormap;
    attributes.background_pixel = BlackPixel(display, visual->screen);
    attributes.border_pixel = 0;
    attributes.override_redirect = saver;
    attributes.event_mask =
        StructureNotifyMask | VisibilityChangeMask | ExposureMask | KeyPressMask;
    if (saver) {
        attributes.event_mask |= ButtonPressMask | PointerMotionMask | FocusChangeMask;
    }
    surface.window = XCreateWindow(
        display, root, 0, 0, static_cast<unsigned>(surface.width),
        static_cast<unsigned>(surface.height), 0, visual->depth, InputOutput, visual->visual,
        CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &attributes);
    surface.own_window = true;

    XStoreName(display, surface.window, "Roses");
    XClassHint class_hint{};
    char name[] = "roses";
    char class_name[] = "Roses";
    class_hint.res_name = name;
    class_hint.res_class = class_name;
    XSetClassHint(display, surface.window, &class_hint);
    if (saver) {
        // A monitor change resizes the root window; the saver's window follows it.
        surface.root = root;
        XSelectInput(display, root, StructureNotifyMask);
        surface.blank_cursor = make_blank_cursor(display, surface.window);
        XDefineCursor(display, surface.window, surface.blank_cursor);
    } else {
        surface.delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, surface.window, &surface.delete_window, 1);
    }
    XMapRaised(display, surface.window);
    return {};
}

} // namespace

bool means_window_lost(const XErrorEvent& error, Window own_window, int glx_errors) {
    const int code = error.error_code;
    if (code == BadWindow || code == BadDrawable) {
        return own_window != 0 && error.resourceid == own_window;
    }
    return glx_errors != 0 &&
           (code == glx_errors + glx_bad_drawable || code == glx_errors + glx_bad_current_window ||
            code == glx_errors + glx_bad_window);
}

std::string open_surface(const x11_options& options, x11_surface& surface) {
    surface.display = XOpenDisplay(nullptr);
    if (surface.display == nullptr) {
        const char* name = XDisplayName(nullptr);
        return std::string("cannot open the X display \"") + (name ? name : "") +
               "\" (is DISPLAY set?)";
    }
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_io_error);

    std::string error;
    int glx_event_base = 0;
    if (!glXQueryExtension(surface.display, &glx_error_base, &glx_event_base)) {
        error = std::string("display ") + DisplayString(surface.display) +
                " has no GLX extension, so OpenGL cannot draw there";
    }
    XVisualInfo* visual = nullptr;
    if (error.empty()) {
        switch (options.target) {
        case x11_target::window_id:
            surface.window = options.window;
            error = adopt_window(surface, visual);
            break;
        case x11_target::root:
            error = find_root_target(surface);
            if (error.empty()) {
                error = adopt_window(surface, visual);
            }
            break;
        case x11_target::own_window:
        case x11_target::saver:
            error = create_window(surface, options, visual);
            break;
        }
    }
    if (error.empty()) {
        int dpms_event_base = 0;
        int dpms_error_base = 0;
        surface.has_dpms =
            DPMSQueryExtension(surface.display, &dpms_event_base, &dpms_error_base) &&
            DPMSCapable(surface.display);
        surface.log_frames = frame_log_wanted();
        drawn_window = surface.window;
        surface.coverage.watch(surface.display, surface.window);
        surface.context = glXCreateContext(surface.display, visual, nullptr, True);
        if (surface.context == nullptr) {
            error = "cannot create an OpenGL context for window " + hex_id(surface.window);
        }
    }
    if (error.empty()) {
        int double_buffered = 0;
        glXGetConfig(surface.display, visual, GLX_DOUBLEBUFFER, &double_buffered);
        surface.double_buffered = double_buffered != 0;
        glXMakeCurrent(surface.display, surface.window, surface.context);
    }
    if (visual != nullptr) {
        XFree(visual);
    }
    if (!error.empty()) {
        close_surface(surface);
    }
    return error;
}

namespace {

constexpr double unknown_refresh_rate = 60.0;

} // namespace

bool use_vsync(x11_surface& surface) {
    using swap_interval_ext = void (*)(Display*, GLXDrawable, int);
    using swap_interval_mesa = int (*)(unsigned int);
    const char* extensions =
        glXQueryExtensionsString(surface.display, DefaultScreen(surface.display));
    if (names_extension(extensions, "GLX_EXT_swap_control")) {
        if (auto set = reinterpret_cast<swap_interval_ext>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")))) {
            set(surface.display, surface.window, 1);
            return true;
        }
    }
    if (names_extension(extensions, "GLX_MESA_swap_control")) {
        if (auto set = reinterpret_cast<swap_interval_mesa>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")))) {
            return set(1) == 0;
        }
    }
    return false;
}

double refresh_rate(const x11_surface& surface) {
    int event_base = 0;
    int error_base = 0;
    if (!XRRQueryExtension(surface.display, &event_base, &error_base)) {
        return unknown_refresh_rate;
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(surface.display, surface.window, &attributes) == 0) {
        return unknown_refresh_rate;
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(surface.display, attributes.root);
    if (resources == nullptr) {
        return unknown_refresh_rate;
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(surface.display, surface.window, attributes.root, 0, 0, &x, &y, &child);
    double rate = unknown_refresh_rate;
    long most = 0;
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(surface.display, resources, resources->crtcs[i]);
        if (crtc == nullptr) {
            continue;
        }
        const long w = std::min<long>(x + surface.width, crtc->x + long{crtc->width}) -
                       std::max<long>(x, crtc->x);
        const long h = std::min<long>(y + surface.height, crtc->y + long{crtc->height}) -
                       std::max<long>(y, crtc->y);
        const long shared = w > 0 && h > 0 ? w * h : 0;
        for (int m = 0; m < resources->nmode && crtc->mode != None; ++m) {
            const XRRModeInfo& mode = resources->modes[m];
            if (mode.id == crtc->mode && mode.hTotal != 0 && mode.vTotal != 0 &&
                mode.dotClock != 0 && shared > most) {
                most = shared;
                rate = static_cast<double>(mode.dotClock) /
                       (static_cast<double>(mode.hTotal) * mode.vTotal);
            }
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return rate;
}

void follow_visibility(const XEvent& event, x11_surface& surface) {
    if (event.type == MapNotify && event.xmap.window == surface.window) {
        surface.mapped = true;
    } else if (event.type == UnmapNotify && event.xunmap.window == surface.window) {
        surface.mapped = false;
    } else if (event.type == VisibilityNotify && event.xvisibility.window == surface.window) {
        surface.fully_obscured = event.xvisibility.state == VisibilityFullyObscured;
    }
    surface.coverage.follow(event);
}

window_sight surface_sight(x11_surface& surface) {
    constexpr auto dpms_period = std::chrono::seconds(1);
    const auto now = std::chrono::steady_clock::now();
    if (surface.has_dpms && now - surface.dpms_asked >= dpms_period) {
        surface.dpms_asked = now;
        CARD16 level = DPMSModeOn;
        BOOL enabled = False;
        surface.display_off =
            DPMSInfo(surface.display, &level, &enabled) && enabled && level != DPMSModeOn;
    }
    if (!surface.mapped || surface.fully_obscured || surface.display_off) {
        return window_sight::hidden;
    }
    return surface.coverage.sight();
}

void choose_presentation(x11_surface& surface, bool vsync_paces) {
    const char* extensions =
        glXQueryExtensionsString(surface.display, DefaultScreen(surface.display));
    surface.copy_sub_buffer = nullptr;
    surface.buffer_age = false;
    if (!surface.double_buffered) {
        return;
    }
    // A copy does not wait for the vertical blank: where vsync paces the frames the swap
    // stays, and only the clear is saved.
    if (!vsync_paces && names_extension(extensions, "GLX_MESA_copy_sub_buffer")) {
        surface.copy_sub_buffer = reinterpret_cast<copy_sub_buffer_function>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    }
    surface.buffer_age =
        surface.copy_sub_buffer == nullptr && names_extension(extensions, "GLX_EXT_buffer_age");
}

void follow_new_size(x11_surface& surface) {
    // A copy never makes the driver look at the window's size, as a swap does: one swap, of
    // the picture the window shows already, brings the buffers to the new size.
    if (surface.copy_sub_buffer != nullptr) {
        glXSwapBuffers(surface.display, surface.window);
    }
}

int buffer_age(x11_surface& surface) {
    if (surface.copy_sub_buffer != nullptr) {
        // Copies leave the back buffer as it was: it holds the last frame.
        return 1;
    }
    if (surface.buffer_age) {
        unsigned int age = 0;
        glXQueryDrawable(surface.display, surface.window, GLX_BACK_BUFFER_AGE_EXT, &age);
        return static_cast<int>(age);
    }
    return 0;
}

void present_frame(x11_surface& surface, double scale, std::uint64_t steps,
                   const std::vector<pixel_box>& changed) {
    // The swap flushes by itself and waits for nothing it need not: a glFinish before it
    // would hold the processor until the driver had drawn, at every frame.
    if (surface.copy_sub_buffer != nullptr) {
        for (const pixel_box& box : changed) {
            surface.copy_sub_buffer(surface.display, surface.window, box.left, box.bottom,
                                    box.right - box.left, box.top - box.bottom);
        }
    } else if (surface.double_buffered) {
        glXSwapBuffers(surface.display, surface.window);
    } else {
        glFlush();
    }
    if (surface.log_frames) {
        // Xlib numbers the requests it sends: the one after the last.
        log_frame(surface.width, surface.height, scale, steps, NextRequest(surface.display) - 1);
    }
}

void close_surface(x11_surface& surface) {
    if (surface.display == nullptr) {
        return;
    }
    if (surface.context != nullptr) {
        glXMakeCurrent(surface.display, None, nullptr);
        glXDestroyContext(surface.display, surface.context);
    }
    if (surface.own_window && !window_lost) {
        XDestroyWindow(surface.display, surface.window);
    }
    if (surface.blank_cursor != 0) {
        XFreeCursor(surface.display, surface.blank_cursor);
    }
    if (surface.colormap != 0) {
        XFreeColormap(surface.display, surface.colormap);
    }
    // The connection itself stays open until the process ends (keep_until_exit says why).
    XSync(surface.display, False);
    keep_until_exit(surface.display);
    drawn_window = 0;
    surface = x11_surface{};
}

bool surface_window_lost() {
    return window_lost;
}

} // namespace roses
