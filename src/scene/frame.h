// The projection, set when a window is made and again whenever its size changes, and the
// drawing of each frame.
#pragma once

#include <cstdint>

namespace roses {

class saver_scene;

// What the projection and default view of a client size are.
struct projection {
    double fovy;   // degrees
    double aspect; // close to width / height, from a single-precision height / width
    double eye[3];
    double centre[3];
};

projection projection_for(std::int32_t width, std::int32_t height);

// Sets viewport, perspective and default view for the client size, clears, and hands the
// size to the scene (which starts its worker if it has one). Needs a current GL context.
void set_projection(saver_scene& scene, std::int32_t width, std::int32_t height);

// Draws one frame: blending state, clear, the scene's frame update, then every live rose
// under the garden's lock. The caller presents it.
void render_frame(saver_scene& scene);

} // namespace roses
