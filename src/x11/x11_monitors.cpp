#include "x11/x11_monitors.h"

#include <X11/extensions/Xrandr.h>

namespace roses {
namespace {

// RandR 1.5 is the first to report monitors (a monitor may span several outputs).
constexpr int monitors_major = 1;
constexpr int monitors_minor = 5;

} // namespace

x11_monitors::x11_monitors(Display* display, Window root) : display(display), root(root) {
    int error_base = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) ||
        (major == monitors_major && minor < monitors_minor) || major < monitors_major) {
        event_base = -1;
        return;
    }
    XRRSelectInput(display, root,
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
}

std::vector<monitor_rect> x11_monitors::current() const {
    std::vector<monitor_rect> result;
    if (event_base < 0) {
        return result;
    }
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count);
    if (monitors == nullptr) {
        return result;
    }
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        result.push_back({m.x, m.y, m.width, m.height, unknown_scale, m.name});
    }
    XRRFreeMonitors(monitors);
    return result;
}

bool x11_monitors::changed(XEvent& event) const {
    if (event_base < 0) {
        return false;
    }
    const int type = event.type - event_base;
    if (type != RRScreenChangeNotify && type != RRNotify) {
        return false;
    }
    XRRUpdateConfiguration(&event);
    return true;
}

} // namespace roses
