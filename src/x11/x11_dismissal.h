// When the full-screen saver ends: any key, any button press, the pointer moving more than a
// few pixels from where it was when the saver started, or the input focus going elsewhere.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "common/pointer_travel.h"

namespace roses {

class saver_dismissal {
  public:
    saver_dismissal(std::int32_t anchor_x, std::int32_t anchor_y) : anchor(anchor_x, anchor_y) {}

    // True when the event ends the saver.
    bool closes(const XEvent& event);

  private:
    pointer_anchor anchor;
    // A focus change before the saver first held the focus is the window manager settling,
    // not the user leaving.
    bool focus_held = false;
};

} // namespace roses
