// Drawing one rose of the garden as a coloured line strip.
#pragma once

#include "garden/rose.h"

namespace roses {

// Draws the part of the rose's strip that its age shows, rebuilding its arrays first if a
// commit changed its shape, with lines line_width pixels wide (line_width_for the display's
// scale). Needs a current GL context and the garden's lock.
void draw_rose(rose& drawn, float line_width);

} // namespace roses
