#include "scene/frame.h"

#include <cmath>
#include <list>
#include <memory>
#include <span>
#include <vector>

#include "display/camera_gl.h"
#include "display/gl_headers.h"
#include "display/line_width.h"
#include "display/rose_gl.h"
#include "scene/frame_damage.h"
#include "scene/saver_scene.h"

namespace roses {
namespace {

// Degrees per radian of the half angle, with pi rounded to 3.14159: the field of view comes
// out 8.4e-7 of itself wider than with pi. That shifts a projected point by far less than a
// pixel, but it is the view every recorded picture and golden figure of ours was made with,
// so the rounding stays.
constexpr double half_angle_to_degrees = 114.59165581759555;
constexpr double near_plane = 1.0;
constexpr double far_plane = 10000000.0;
// The default eye stands three heights in front of the screen plane.
constexpr double eye_distance = 3.0;

void load_view(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    const projection p = projection_for(width, height);
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(p.fovy, p.aspect, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(p.eye[0], p.eye[1], p.eye[2], p.centre[0], p.centre[1], p.centre[2], 0.0, 1.0, 0.0);
}

// The widest line that the driver draws does not change while its context lives: it is
// asked when a scene is laid out, not in every frame.
void take_line_width(saver_scene& scene) {
    scene.line_width = line_width_for(scene.scale, widest_line_width());
}

} // namespace

projection projection_for(std::int32_t width, std::int32_t height) {
    // In 64 bits: X11's -size takes 32767 a side, past what 32 bits hold of the squares. Any
    // sum below 2^53 converts to a double exactly, so every size keeps the result it had.
    const std::int64_t squares = std::int64_t{width} * width + 2 * (std::int64_t{height} * height);
    const double s = std::sqrt(static_cast<double>(squares));
    const double h = height;
    // The full client height is seen at the distance d from the eye.
    const double d = eye_distance * h - (0.4 * s - 0.5 * h);
    projection p{};
    p.fovy = std::atan(h / (2.0 * d)) * half_angle_to_degrees;
    const float q = static_cast<float>(h) / static_cast<float>(width);
    p.aspect = 1.0 / static_cast<double>(q);
    p.eye[0] = width / 2.0;
    p.eye[1] = h / 2.0;
    p.eye[2] = eye_distance * h;
    p.centre[0] = width / 2.0;
    p.centre[1] = h / 2.0;
    p.centre[2] = -h / 2.0;
    return p;
}

void set_projection(saver_scene& scene, std::int32_t width, std::int32_t height) {
    load_view(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    take_line_width(scene);
    scene.set_size(width, height);
}

void use_viewport(const viewport_area& area) {
    // draw_scene clears the whole window unless the scissor box holds the clear to this
    // scene's area: without it each scene would wipe the pictures drawn before it.
    glScissor(area.x, area.y, area.width, area.height);
    glEnable(GL_SCISSOR_TEST);
    load_view(area.x, area.y, area.width, area.height);
}

void set_projection(saver_scene& scene, const viewport_area& area) {
    use_viewport(area);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    take_line_width(scene);
    scene.set_size(area.width, area.height);
}

namespace {

// The blending and shading state, set again in every frame.
void begin_frame() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
}

// The age a frame at f shows a rose at: whole numbers of trail points; at f = 1 its own.
std::int32_t shown_age(const rose& live, double f) {
    return f >= 1.0
               ? live.age
               : live.previous_age +
                     static_cast<std::int32_t>(std::lround((live.age - live.previous_age) * f));
}

// Clears the boxes of the area, which is the viewport and the scissor box. A software
// renderer clears under a scissor by drawing a quad, with the state saved and restored around
// it: a box each costs more than its pixels. So the boxes go as one draw of black triangles
// with nothing blended or smoothed, which writes the cleared colour into the same pixels. The
// corners are floats, which hold every pixel's edge exactly, and the triangles two a box, as
// WebGL under the page's emulation takes neither integer vertices nor quads.
void clear_boxes(const std::vector<pixel_box>& boxes, const pixel_box& area) {
    if (boxes.size() == 1 && boxes.front() == area) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    std::vector<GLfloat> corners;
    corners.reserve(boxes.size() * 12);
    for (const pixel_box& box : boxes) {
        const auto left = static_cast<GLfloat>(box.left);
        const auto bottom = static_cast<GLfloat>(box.bottom);
        const auto right = static_cast<GLfloat>(box.right);
        const auto top = static_cast<GLfloat>(box.top);
        corners.insert(corners.end(), {left, bottom, right, bottom, right, top, left, bottom, right,
                                       top, left, top});
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(area.left, area.right, area.bottom, area.top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_POLYGON_SMOOTH);
    // The clear colour, GL's own that nothing changes.
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    glVertexPointer(2, GL_FLOAT, 0, corners.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners.size() / 2));
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    begin_frame();
}

} // namespace

void draw_scene(saver_scene& scene, double f) {
    begin_frame();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    if (scene.posed) {
        between(scene.previous_pose, scene.camera, f).apply();
    }
    const float line_width = scene.line_width;
    scene.garden.visit_roses(
        [line_width, f](rose& live) { draw_rose(live, line_width, shown_age(live, f)); });
    glFlush();
    glPopMatrix();
}

const std::vector<pixel_box>& draw_scene(saver_scene& scene, double f, const viewport_area& area,
                                         frame_damage& damage, int buffer_age) {
    begin_frame();
    glPushMatrix();
    const projection p = projection_for(scene.width, scene.height);
    look_at view{
        {p.eye[0], p.eye[1], p.eye[2]}, {p.centre[0], p.centre[1], p.centre[2]}, {0, 1, 0}};
    if (scene.posed) {
        const camera_gl pose = between(scene.previous_pose, scene.camera, f);
        pose.apply();
        view = pose.view();
    }
    const float line_width = scene.line_width;
    const pixel_box whole = box_of(area);
    // One hold of the lock for both passes: a commit between them would move a rose out of
    // the cells measured for it.
    scene.garden.with_roses([&](std::list<std::unique_ptr<rose>>& roses) {
        damage_grid drawn(whole, frame_damage::cell);
        for (const auto& live : roses) {
            const strip_range range = live->shown_strip(shown_age(*live, f));
            if (range.count >= 2 && scene.width > 0 && scene.height > 0) {
                const std::span<const vertex> strip(
                    &live->vertices[static_cast<std::size_t>(range.first)],
                    static_cast<std::size_t>(range.count));
                drawn.add_strip(strip, view, p, line_width);
            } else if (range.count >= 2) {
                drawn.add_all();
            }
        }
        glEnable(GL_SCISSOR_TEST);
        // The roses stay inside the cells cleared for them: the scissor only keeps them in
        // their area.
        glScissor(whole.left, whole.bottom, whole.right - whole.left, whole.top - whole.bottom);
        clear_boxes(damage.clear_for(drawn, buffer_age), whole);
        for (const auto& live : roses) {
            draw_rose(*live, line_width, shown_age(*live, f));
        }
        glFlush();
    });
    glPopMatrix();
    return damage.changed();
}

void render_frame(saver_scene& scene) {
    scene.step();
    draw_scene(scene, 1.0);
}

} // namespace roses
