// How wide the roses' strips are on displays of every density: the one place that turns a
// display's scale into a line width.
#pragma once

namespace roses {

// The density for which a width of 2 pixels was chosen: a display of ordinary density.
inline constexpr double ordinary_dpi = 96.0;

// Device pixels per ordinary pixel of a display with dpi dots per inch. A lower figure, or
// none (0, NaN), counts as an ordinary display: the strips never get thinner than 2 pixels.
double scale_for_dpi(double dpi);

// 2 pixels times the scale, and no wider than widest, the driver's widest line (none when
// widest is 0), unless that is below 2. A scale below 1 or not finite counts as 1.
float line_width_for(double scale, float widest);

// The widest line that the driver of the current GL context draws; 0 where it does not say.
float widest_line_width();

// How many pixels past a line's aliased pixels the same line colours when it is multisampled:
// its ends are cut square to the line rather than along a pixel column or row, so a corner
// reaches out by up to a third of its width, and a pixel with any of its samples inside takes
// some of its colour. Half the width bounds both (measured on llvmpipe: 1 pixel at width 2,
// 2 at 4, 3 at 5 and at 8). A rectangle that holds what aliased lines draw holds what smoothed
// ones draw once it grows by this on every side.
int smoothed_edge_margin(float line_width);

} // namespace roses
