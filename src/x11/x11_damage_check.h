// A check for tests that frames which clear and present only what changed leave the window
// exactly as a whole frame would draw it (ROSES_CHECK_DAMAGE=1): every so often the window's
// pixels, as the X server holds them, are compared with the same frame drawn whole.
#pragma once

#include "gl_context/multisample_buffer.h"
#include "scene/monitor_scenes.h"
#include "x11/x11_surface.h"

namespace roses {

bool damage_check_wanted();

// Reads the window from the server, draws the frame at f whole into the back buffer and says
// on standard error how many pixels differ ("roses: damage check: N of M pixels differ").
// The scenes must not change meanwhile: the caller ticks their gardens itself. The back
// buffer then holds the frame drawn whole, which the next frame builds on.
void check_damage(x11_surface& surface, monitor_scenes& scenes, const multisample_buffer& samples,
                  double f);

} // namespace roses
