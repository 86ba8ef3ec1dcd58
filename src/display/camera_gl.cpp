#include "display/camera_gl.h"

#include <cmath>

#include "display/gl_headers.h"

namespace roses {

look_at camera_gl::view() const {
    const double e = static_cast<double>(elevation) * degrees_to_radians;
    const double a = static_cast<double>(azimuth) * degrees_to_radians;
    const double dx = std::cos(e) * std::cos(a);
    const double dy = std::cos(e) * std::sin(a);
    const double dz = std::sin(e);
    look_at result{};
    result.eye[0] = x;
    result.eye[1] = y;
    result.eye[2] = z;
    result.centre[0] = result.eye[0] + dx;
    result.centre[1] = result.eye[1] + dy;
    result.centre[2] = result.eye[2] + dz;
    result.up[0] = -std::sin(e) * dx;
    result.up[1] = -std::sin(e) * dy;
    result.up[2] = dx * dx + dy * dy;
    return result;
}

void camera_gl::apply() const {
    const look_at v = view();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(v.eye[0], v.eye[1], v.eye[2], v.centre[0], v.centre[1], v.centre[2], v.up[0], v.up[1],
              v.up[2]);
}

} // namespace roses
