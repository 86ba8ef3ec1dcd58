// The camera family: an eye with two viewing angles, a camera with momentum, and the
// ball camera that the saver uses.
#pragma once

#include <cstdint>

namespace roses {

inline constexpr double degrees_to_radians = 3.141592653589793 / 180.0;

// What gluLookAt is given for a view.
struct look_at {
    double eye[3];
    double centre[3];
    double up[3];
};

class camera_gl {
  public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    // Degrees above the x-y plane, toward +z; -90 looks straight along -z.
    float elevation = 0.0f;
    // Degrees from +x toward +y, kept in [-180, 180].
    float azimuth = 0.0f;

    // The eye looks along the unit direction of the two angles; the up vector is left
    // unnormalised (length cos e) so that it stays defined, if tiny, at +-90 degrees.
    look_at view() const;
    // Loads the view into the modelview matrix.
    void apply() const;
};

// The pose a fraction f of the way from one step's camera to the next one's: eye and angles
// move linearly, the azimuth the short way round across +-180. f = 1 is `to` itself, bit for
// bit, so that a frame at the step is the step's own frame.
camera_gl between(const camera_gl& from, const camera_gl& to, double f);

} // namespace roses
