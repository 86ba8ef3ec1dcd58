// The projection, set when a window is made and again whenever its size changes, and the
// drawing of each frame.
#pragma once

#include <cstdint>
#include <vector>

namespace roses {

class saver_scene;
class frame_damage;
struct pixel_box;

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

// A scene's part of a window shared with other scenes, in GL window coordinates: x to the
// right and y up from the window's bottom-left corner.
struct viewport_area {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// The step that switches between the scenes of one window before each one's frame: the
// area's viewport and scissor box, its perspective and its default view. It neither clears
// nor lays anything out. Leaves the scissor test on.
void use_viewport(const viewport_area& area);

// set_projection for a scene that shares its window: the same projection and layout for the
// area's size, but drawn at the area's place, and the clear confined to it.
void set_projection(saver_scene& scene, const viewport_area& area);

// Clears and draws a view a fraction f in [0, 1] of the way from the step before the last one
// to the last: the camera between the two poses (between) and every live rose at an age
// between its two ages, under the garden's lock. f = 1 is exactly the frame of the last step.
// The caller presents it.
void draw_scene(saver_scene& scene, double f);

// draw_scene for a buffer that still holds an earlier frame, buffer_age frames old (0 when
// nothing is known of it), drawn into the scene's area of the window: it clears only the
// cells that the roses' lines reached there since and reach now (damage remembers), or the
// whole area where that is unknown or most of it. Leaves the scissor test on. Returns the
// boxes that changed against the frame before, which is what the caller presents.
const std::vector<pixel_box>& draw_scene(saver_scene& scene, double f, const viewport_area& area,
                                         frame_damage& damage, int buffer_age);

// One step and its frame (draw_scene at 1), for hosts that draw once a step. The caller
// presents it.
void render_frame(saver_scene& scene);

} // namespace roses
