#include "display/ball_camera.h"

#include <algorithm>
#include <cmath>

#include "random/random.h"

namespace roses {
namespace {

// A fresh camera starts somewhere in (-90, -50] degrees of elevation.
constexpr double first_elevation_top = -50.0;
constexpr double first_elevation_span = 40.0;
// The impulses are single-precision constants.
constexpr double elevation_impulse = static_cast<double>(0.01f);
constexpr double azimuth_impulse = static_cast<double>(0.005f);
// A weak pull of the elevation toward straight down the -z axis.
constexpr double elevation_pull = 0.000006;
constexpr float max_elevation = 90.0f;
// The dolly phase: a constant push in, and above 0.3 a spring that turns it round.
constexpr double dolly_push = 0.00007;
constexpr double dolly_spring = 0.00028;
constexpr double dolly_spring_start = 0.3;
// The ball's full radius is 3.5 heights: half a height to the centre plus three.
constexpr double ball_depth = 0.5;
constexpr double ball_distance = 3.0;
// Within 0.2 degrees of -90 the camera starts to dolly.
constexpr float dolly_start_elevation = -89.8f;
// After a dolly the elevation resumes just off the axis, moving away from it.
constexpr float wander_restart_elevation = -89.0f;
constexpr double wander_restart_velocity = 0.5;

} // namespace

void ball_camera::update(std::int32_t width, std::int32_t height) {
    if (!lock_elevation) {
        // Both angles exactly 0: the camera has not been placed yet.
        if (elevation == 0.0f && azimuth == 0.0f) {
            elevation =
                static_cast<float>(first_elevation_top - first_elevation_span * uniform01());
        }
        if (wandering) {
            const double n = normal01();
            accel_elevation += elevation_impulse * n - elevation_pull * (elevation + 90.0);
        }
    }
    if (!lock_azimuth) {
        accel_azimuth += azimuth_impulse * normal01();
    }
    step();
    if (!lock_elevation) {
        elevation = std::clamp(elevation, -max_elevation, max_elevation);
        // Held at a pole, an acceleration still pushing outward is damped.
        if ((elevation == -max_elevation || elevation == max_elevation) &&
            elevation * accel_elevation > 0.0) {
            accel_elevation /= 2.0;
        }
    }
    if (!wandering) {
        dolly_velocity += dolly_push - dolly_spring * std::max(dolly - dolly_spring_start, 0.0);
        dolly += dolly_velocity;
    }
    place_eye(width, height);
}

void ball_camera::apply_phase_rules() {
    if (wandering) {
        if (elevation < dolly_start_elevation) {
            wandering = false;
            accel_elevation = 0.0;
            vel_elevation = 0.0;
            dolly_velocity = 0.0;
        }
    } else if (dolly <= 0.0) {
        dolly_velocity = 0.0;
        wandering = true;
        dolly = 0.0;
        elevation = wander_restart_elevation;
        vel_elevation = wander_restart_velocity;
    }
}

void ball_camera::place_eye(std::int32_t width, std::int32_t height) {
    const double h = height;
    const double r = (1.0 - dolly) * (ball_depth * h + ball_distance * h);
    const double e = static_cast<double>(elevation) * degrees_to_radians;
    const double a = static_cast<double>(azimuth) * degrees_to_radians;
    x = static_cast<float>(width / 2.0 - r * std::cos(e) * std::cos(a));
    y = static_cast<float>(h / 2.0 - r * std::cos(e) * std::sin(a));
    z = static_cast<float>(-h / 2.0 - r * std::sin(e));
}

} // namespace roses
