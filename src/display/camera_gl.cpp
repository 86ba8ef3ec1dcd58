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

namespace {

float lerp(float from, float to, double f) {
    return static_cast<float>(static_cast<double>(from) +
                              (static_cast<double>(to) - static_cast<double>(from)) * f);
}

} // namespace

camera_gl between(const camera_gl& from, const camera_gl& to, double f) {
    if (f >= 1.0) {
        return to;
    }
    camera_gl pose;
    pose.x = lerp(from.x, to.x, f);
    pose.y = lerp(from.y, to.y, f);
    pose.z = lerp(from.z, to.z, f);
    pose.elevation = lerp(from.elevation, to.elevation, f);
    // A turn of at most a degree a step that crosses +-180 is a small turn, not a full one
    // back the other way.
    float start = from.azimuth;
    if (to.azimuth - start > 180.0f) {
        start += 360.0f;
    } else if (start - to.azimuth > 180.0f) {
        start -= 360.0f;
    }
    pose.azimuth = lerp(start, to.azimuth, f);
    if (pose.azimuth > 180.0f) {
        pose.azimuth -= 360.0f;
    } else if (pose.azimuth < -180.0f) {
        pose.azimuth += 360.0f;
    }
    return pose;
}

void camera_gl::apply() const {
    const look_at v = view();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(v.eye[0], v.eye[1], v.eye[2], v.centre[0], v.centre[1], v.centre[2], v.up[0], v.up[1],
              v.up[2]);
}

} // namespace roses
