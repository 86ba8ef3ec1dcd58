// The saver's camera: an eye on a sphere around the centre of the scene box, driven by
// random impulses, that now and then flies in through the centre and back out.
#pragma once

#include <cstdint>

#include "display/inertial_camera_gl.h"

namespace roses {

class ball_camera : public inertial_camera_gl {
  public:
    // How far the eye has flown in: the ball's radius is (1 - dolly) of the full radius.
    double dolly = 0.0;
    double dolly_velocity = 0.0;
    // True in the wander phase, false while dollying.
    bool wandering = true;

    void update(std::int32_t width, std::int32_t height) override;

    // Switches between the wander and the dolly phase; runs after update, before apply.
    void apply_phase_rules();

    // Puts the eye on the ball around the centre of a width x height x height box.
    void place_eye(std::int32_t width, std::int32_t height);
};

} // namespace roses
