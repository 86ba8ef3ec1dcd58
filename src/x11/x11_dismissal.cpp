#include "x11/x11_dismissal.h"

#include <cstdlib>

namespace roses {

bool saver_dismissal::closes(const XEvent& event) {
    switch (event.type) {
    case KeyPress:
    case ButtonPress:
        return true;
    case MotionNotify: {
        std::int64_t distance = std::llabs(std::int64_t{event.xmotion.x_root} - anchor_x) +
                                std::llabs(std::int64_t{event.xmotion.y_root} - anchor_y);
        return distance > move_threshold;
    }
    case FocusIn:
        focus_held = true;
        return false;
    case FocusOut:
        // Grabs are passing (a hot key held by the window manager) and give the focus back;
        // focus moving into our own window's parts or following the pointer is no departure.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab ||
            event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer) {
            return false;
        }
        return focus_held;
    default:
        return false;
    }
}

} // namespace roses
