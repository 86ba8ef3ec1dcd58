// A camera with momentum: accelerations and velocities, clamped and integrated once a step.
#pragma once

#include <cstdint>

#include "display/camera_gl.h"

namespace roses {

inline constexpr double max_angle_acceleration = 0.05;
inline constexpr double max_elevation_velocity = 0.3;
inline constexpr double max_azimuth_velocity = 1.0;

class inertial_camera_gl : public camera_gl {
  public:
    double accel_x = 0.0;
    double vel_x = 0.0;
    double accel_y = 0.0;
    double vel_y = 0.0;
    double accel_z = 0.0;
    double vel_z = 0.0;
    double accel_elevation = 0.0;
    double vel_elevation = 0.0;
    double accel_azimuth = 0.0;
    double vel_azimuth = 0.0;
    // A set flag freezes that angle.
    bool lock_elevation = false;
    bool lock_azimuth = false;

    // One step of camera motion for a viewport of the given size (both non-zero).
    virtual void update(std::int32_t width, std::int32_t height);

    // One step of clamping and integration. The elevation is not limited here.
    void step();
};

} // namespace roses
