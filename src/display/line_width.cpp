#include "display/line_width.h"

#include <algorithm>
#include <cmath>

#include "display/gl_headers.h"

namespace roses {
namespace {

// The width on a display of ordinary density.
constexpr double ordinary_line_width = 2.0;

} // namespace

double scale_for_dpi(double dpi) {
    const double scale = dpi / ordinary_dpi;
    return scale > 1.0 ? scale : 1.0;
}

float line_width_for(double scale, float widest) {
    if (!std::isfinite(scale) || scale < 1.0) {
        scale = 1.0;
    }
    const auto width = static_cast<float>(ordinary_line_width * scale);
    // Never below the ordinary width, which was always asked for whatever the driver said, so
    // that a driver with a narrower limit still draws what it always drew.
    const auto limit = std::max(widest, static_cast<float>(ordinary_line_width));
    return widest > 0.0f && width > limit ? limit : width;
}

float widest_line_width() {
    // A driver that knows only OpenGL 1.1 leaves the range untouched: its own clamp applies.
    GLfloat range[2] = {0.0f, 0.0f};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    return range[1];
}

int smoothed_edge_margin(float line_width) {
    return static_cast<int>(std::ceil(line_width / 2.0f));
}

} // namespace roses
