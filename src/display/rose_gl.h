// Drawing one rose of the garden as a coloured line strip.
#pragma once

#include <cstdint>

#include "garden/rose.h"

namespace roses {

// Draws the part of the rose's strip that its age shows, rebuilding its arrays first if a
// commit changed its shape, with lines line_width pixels wide (line_width_for the display's
// scale). Needs a current GL context and the garden's lock.
void draw_rose(rose& drawn, float line_width);
// The same with the rose shown at shown_age, for a frame between two steps.
void draw_rose(rose& drawn, float line_width, std::int32_t shown_age);

} // namespace roses
