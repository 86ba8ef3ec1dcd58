// The display's scale as desktops publish it: the Xft.dpi resource in the root window's
// RESOURCE_MANAGER property (what xrdb loads), divided by 96.
#pragma once

#include <X11/Xlib.h>

namespace roses {

// Xft.dpi / 96; 1 when the resource is missing, unreadable or below 96.
double resource_scale(Display* display);

// Asks for a PropertyNotify whenever the resources change, keeping whatever else this client
// already selected on the root window.
void watch_resources(Display* display);

// True for the event that says the resources have changed.
bool resources_changed(Display* display, const XEvent& event);

} // namespace roses
