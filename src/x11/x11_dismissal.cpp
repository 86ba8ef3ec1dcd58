#include "x11/x11_dismissal.h"

namespace roses {

bool saver_dismissal::closes(const XEvent& event) {
    switch (event.type) {
    case KeyPress:
    case ButtonPress:
        return true;
    case MotionNotify:
        return anchor.moved_beyond_threshold(event.xmotion.x_root, event.xmotion.y_root);
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
