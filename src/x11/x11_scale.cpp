#include "x11/x11_scale.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <charconv>
#include <cstring>

#include "display/line_width.h"

namespace roses {
namespace {

// Desktops write the resources onto the first screen's root window.
Window resource_window(Display* display) {
    return RootWindow(display, 0);
}

Atom resource_manager(Display* display) {
    return XInternAtom(display, "RESOURCE_MANAGER", False);
}

// The property as it is now: XResourceManagerString keeps the copy read at connection time.
double dpi_resource(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* text = nullptr;
    // Length in 32-bit units: far more than any resource database holds.
    constexpr long longest = 1L << 24;
    if (XGetWindowProperty(display, resource_window(display), resource_manager(display), 0, longest,
                           False, XA_STRING, &type, &format, &count, &remaining,
                           &text) != Success ||
        text == nullptr) {
        return 0.0;
    }
    XrmInitialize();
    XrmDatabase resources = XrmGetStringDatabase(reinterpret_cast<const char*>(text));
    XFree(text);
    double dpi = 0.0;
    char* kind = nullptr;
    XrmValue value{};
    if (resources != nullptr &&
        XrmGetResource(resources, "Xft.dpi", "Xft.Dpi", &kind, &value) == True &&
        value.addr != nullptr) {
        const char* first = value.addr;
        std::from_chars(first, first + std::strlen(first), dpi);
    }
    XrmDestroyDatabase(resources);
    return dpi;
}

} // namespace

double resource_scale(Display* display) {
    return scale_for_dpi(dpi_resource(display));
}

void watch_resources(Display* display) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, resource_window(display), &attributes);
    XSelectInput(display, resource_window(display),
                 attributes.your_event_mask | PropertyChangeMask);
}

bool resources_changed(Display* display, const XEvent& event) {
    return event.type == PropertyNotify && event.xproperty.window == resource_window(display) &&
           event.xproperty.atom == resource_manager(display);
}

} // namespace roses
