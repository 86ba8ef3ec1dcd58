// The monitors of the screen, as RandR reports them, for the full-screen saver: one scene per
// monitor, so that no figure is cut in two by the bezels between them.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "scene/monitor_layout.h"

namespace roses {

class x11_monitors {
  public:
    // Asks RandR to report changes of the monitors of root. Without RandR there is one
    // monitor, the whole window, and no change is ever reported.
    x11_monitors(Display* display, Window root);

    // The active monitors in root coordinates, which are the full-screen window's own, each
    // known by its RandR name; empty without RandR.
    std::vector<monitor_rect> current() const;

    // True when the event says that monitors came, went or moved; it also brings Xlib's own
    // idea of the screen up to date.
    bool changed(XEvent& event) const;

  private:
    Display* display;
    Window root;
    int event_base = -1;
};

} // namespace roses
