#include "display/inertial_camera_gl.h"

#include <algorithm>

namespace roses {

void inertial_camera_gl::update(std::int32_t, std::int32_t) {
    step();
}

void inertial_camera_gl::step() {
    if (!lock_elevation) {
        accel_elevation =
            std::clamp(accel_elevation, -max_angle_acceleration, max_angle_acceleration);
    }
    if (!lock_azimuth) {
        accel_azimuth = std::clamp(accel_azimuth, -max_angle_acceleration, max_angle_acceleration);
    }
    vel_x += accel_x;
    x = static_cast<float>(x + vel_x);
    vel_y += accel_y;
    y = static_cast<float>(y + vel_y);
    vel_z += accel_z;
    z = static_cast<float>(z + vel_z);
    if (!lock_elevation) {
        vel_elevation = std::clamp(vel_elevation + accel_elevation, -max_elevation_velocity,
                                   max_elevation_velocity);
        elevation = static_cast<float>(elevation + vel_elevation);
    }
    if (!lock_azimuth) {
        vel_azimuth =
            std::clamp(vel_azimuth + accel_azimuth, -max_azimuth_velocity, max_azimuth_velocity);
        azimuth = static_cast<float>(azimuth + vel_azimuth);
    }
    // One correction each way at most; the bounds themselves stand.
    if (azimuth < -180.0f) {
        azimuth += 360.0f;
    }
    if (azimuth > 180.0f) {
        azimuth -= 360.0f;
    }
}

} // namespace roses
