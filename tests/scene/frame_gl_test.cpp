// Frame drawing on a real OpenGL context: Mesa's surfaceless EGL platform.
#include "display/gl_headers.h"
#include "display/line_width.h"
#include "display/rose_gl.h"
#include "gl_context/egl_pbuffer_context.h"
#include "random/random.h"
#include "scene/frame.h"
#include "scene/frame_step.h"
#include "scene/monitor_scenes.h"
#include "scene/saver_scene.h"

#include <array>
#include <cmath>

#include <gtest/gtest.h>

namespace roses {
namespace {

using matrix = std::array<double, 16>;

matrix current(GLenum which) {
    matrix m{};
    glGetDoublev(which, m.data());
    return m;
}

// Column-major m times (x, y, z, 1).
std::array<double, 3> transform(const matrix& m, double x, double y, double z) {
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

std::size_t lit_pixels(const std::vector<std::uint8_t>& rgb) {
    std::size_t lit = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        lit += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0;
    }
    return lit;
}

class FrameGl : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(gl.create(800, 600)) << gl.error(); }

    // Ticks the garden until a rose is planted.
    static void plant(saver_scene& scene) {
        testing::internal::CaptureStderr();
        while (scene.garden.roses.empty()) {
            scene.garden.tick();
        }
        testing::internal::GetCapturedStderr();
    }

    egl_pbuffer_context gl;
};

TEST_F(FrameGl, ProjectionAndDefaultViewFor800x600) {
    saver_scene scene(false);
    set_projection(scene, 800, 600);
    // Mesa keeps matrices in single precision.
    const matrix p = current(GL_PROJECTION_MATRIX);
    const double fovy = 2.0 * std::atan(1.0 / p[5]) * 180.0 / 3.141592653589793;
    EXPECT_NEAR(fovy, 20.8131, 5e-5);
    EXPECT_NEAR(p[5] / p[0], 1.3333333333333333, 1e-6);
    // Near 1, far 10000000.
    EXPECT_NEAR(p[14] / (p[10] - 1.0), 1.0, 1e-6);
    EXPECT_EQ(p[11], -1.0);

    // The default view is a plain shift: the eye (400, 300, 1800) to the origin.
    const matrix expected{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -400, -300, -1800, 1};
    EXPECT_EQ(current(GL_MODELVIEW_MATRIX), expected);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_EQ(scene.width, 800);
    EXPECT_EQ(scene.garden.height, 600);
    EXPECT_FALSE(scene.worker_started);
}

TEST_F(FrameGl, EmptyFirstFrameIsBlackAndRestoresTheDefaultView) {
    reseed_random(2);
    saver_scene scene(false);
    set_projection(scene, 800, 600);
    const matrix before = current(GL_MODELVIEW_MATRIX);
    render_frame(scene);
    EXPECT_EQ(lit_pixels(gl.read_rgb()), 0u);
    EXPECT_EQ(current(GL_MODELVIEW_MATRIX), before);
    // The camera moved and was placed.
    EXPECT_NE(scene.camera.elevation, 0.0f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(FrameGl, CameraApplyLoadsALookAtTheCentre) {
    ball_camera camera;
    camera.place_eye(800, 600);
    glMatrixMode(GL_PROJECTION); // apply must select the modelview matrix itself
    camera.apply();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    const matrix m = current(GL_MODELVIEW_MATRIX);
    // M lies straight ahead at 2100; +z is up on the screen and -y is to the right.
    const auto centre = transform(m, 400, 300, -300);
    EXPECT_NEAR(centre[0], 0, 1e-9);
    EXPECT_NEAR(centre[1], 0, 1e-9);
    EXPECT_NEAR(centre[2], -2100, 1e-9);
    const auto above = transform(m, 400, 300, -299);
    EXPECT_NEAR(above[1], 1, 1e-9);
    const auto right = transform(m, 400, 299, -300);
    EXPECT_NEAR(right[0], 1, 1e-9);
}

TEST_F(FrameGl, RoseIsDrawnFromTheArraysTheAgeSelects) {
    reseed_random(7);
    saver_scene scene(false);
    set_projection(scene, 800, 600);
    plant(scene);
    rose& r = *scene.garden.roses.front();
    const std::int32_t n = r.count;

    r.age = n + 5; // sweep phase: the spot on vertex 5
    draw_rose(r, 2.0f);
    GLvoid* pointer = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<GLvoid*>(&r.vertices[0]));
    glGetPointerv(GL_COLOR_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<GLvoid*>(r.colours[n - 5].data()));
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 2.0f);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));

    r.age = 3 * n + 10; // shrinking: from vertex 11 on
    draw_rose(r, 2.0f);
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<GLvoid*>(&r.vertices[11]));

    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    r.age = 4 * n - 2; // a single vertex is no strip
    draw_rose(r, 2.0f);
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, nullptr);
}

TEST_F(FrameGl, LiveRoseLightsPixelsAndAnExpiringOneIsNotDrawn) {
    reseed_random(7);
    saver_scene scene(false);
    set_projection(scene, 800, 600);
    plant(scene);
    rose& r = *scene.garden.roses.front();
    r.age = r.count; // whole orbit shown
    render_frame(scene);
    EXPECT_GT(lit_pixels(gl.read_rgb()), 500u);

    r.age = 4 * r.count - 3; // the next cull retires it
    render_frame(scene);
    EXPECT_TRUE(scene.garden.roses.empty());
    EXPECT_EQ(lit_pixels(gl.read_rgb()), 0u);
}

TEST_F(FrameGl, StripsWidenWithTheScaleUpToTheDriversWidestLine) {
    reseed_random(7);
    // The scale reaches the strips the way every host hands it over: with the window.
    monitor_scenes scenes(false);
    scenes.lay_out({}, {800, 600});
    plant(scenes.scene(0));
    const auto width_drawn = [&scenes](double scale) {
        scenes.lay_out({}, {800, 600, scale});
        scenes.render();
        GLfloat width = 0;
        glGetFloatv(GL_LINE_WIDTH, &width);
        return width;
    };
    EXPECT_EQ(width_drawn(1.0), 2.0f);
    EXPECT_EQ(width_drawn(1.5), 3.0f);
    EXPECT_EQ(width_drawn(2.0), 4.0f);
    EXPECT_EQ(width_drawn(0.5), 2.0f);
    EXPECT_EQ(width_drawn(std::nan("")), 2.0f);
    GLfloat range[2] = {0, 0};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    EXPECT_EQ(width_drawn(1e6), range[1]);

    // 96 DPI is an ordinary display, and so is anything lower or unknown.
    EXPECT_EQ(scale_for_dpi(144.0), 1.5);
    EXPECT_EQ(scale_for_dpi(192.0), 2.0);
    EXPECT_EQ(scale_for_dpi(72.0), 1.0);
    EXPECT_EQ(scale_for_dpi(0.0), 1.0);
    EXPECT_EQ(scale_for_dpi(std::nan("")), 1.0);
}

TEST_F(FrameGl, MonitorsDrawInTheirOwnAreasAndOneWholeMonitorDrawsAsBefore) {
    monitor_scenes scenes(false);
    // Two monitors one above the other: GL counts rows from the bottom.
    scenes.lay_out({{0, 0, 800, 200}, {0, 200, 800, 400}}, {800, 600});
    ASSERT_EQ(scenes.count(), 2u);
    scenes.render();
    std::array<GLint, 4> box{};
    glGetIntegerv(GL_VIEWPORT, box.data());
    EXPECT_EQ(box, (std::array<GLint, 4>{0, 0, 800, 400}));
    glGetIntegerv(GL_SCISSOR_BOX, box.data());
    EXPECT_EQ(box, (std::array<GLint, 4>{0, 0, 800, 400}));
    EXPECT_EQ(scenes.scene(0).height, 200);

    // Back to one monitor: the scene is kept, and no scissor box of the old layout remains.
    saver_scene* first = &scenes.scene(0);
    scenes.lay_out({}, {800, 600});
    ASSERT_EQ(scenes.count(), 1u);
    EXPECT_EQ(&scenes.scene(0), first);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    glGetIntegerv(GL_VIEWPORT, box.data());
    EXPECT_EQ(box, (std::array<GLint, 4>{0, 0, 800, 600}));
    EXPECT_EQ(scenes.scene(0).height, 600);
}

TEST_F(FrameGl, UnpluggingTheFirstOfTwoMonitorsKeepsTheSecondOnesScene) {
    monitor_scenes scenes(false);
    scenes.lay_out({{0, 0, 400, 600, 1.0, 1}, {400, 0, 400, 600, 2.0, 2}}, {800, 600});
    saver_scene* second = &scenes.scene(1);
    // The second monitor moves to where the first was, the window shrinks to it.
    scenes.lay_out({{0, 0, 400, 600, 2.0, 2}}, {400, 600});
    ASSERT_EQ(scenes.count(), 1u);
    EXPECT_EQ(&scenes.scene(0), second);
    EXPECT_EQ(scenes.scene(0).line_width, 4.0f);
}

TEST_F(FrameGl, AWakeStepsUnseenAsksTheBufferOnlyForAFrameAndRedrawsAllOnceInvalidated) {
    reseed_random(7);
    // One frame a step, steps 50 ticks apart, and gardens ticked by the steps themselves.
    frame_step frames(false, 50, frame_pacing{});
    frames.lay_out({}, {800, 600});
    frames.start(0);
    // The first tick searches a shape for the first slot.
    int searches = 0;
    frames.scenes().scene(0).garden.on_event = [&searches](const garden_event& event) {
        searches += event.what == garden_event::kind::search ? 1 : 0;
    };
    const frame_step::sight covered = [] { return false; };
    const frame_step::sight seen = [] { return true; };
    int asked = 0;
    const frame_step::buffer_age age = [&asked]() -> std::optional<int> {
        ++asked;
        return 1;
    };
    testing::internal::CaptureStderr();
    // Covered: the step and its garden's tick go on, and nothing wakes it before the next.
    frame_step::woken woke = frames.wake(0, covered, age);
    EXPECT_TRUE(woke.stepped);
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(woke.f);
    EXPECT_EQ(woke.wake, 50);
    // Seen: the step's frame, and then nothing more to draw, nor a buffer to ask, until the
    // next step.
    woke = frames.wake(10, seen, age);
    EXPECT_TRUE(woke.drawn);
    EXPECT_EQ(woke.f, 1.0);
    EXPECT_EQ(woke.wake, 50);
    woke = frames.wake(20, seen, age);
    EXPECT_FALSE(woke.f);
    EXPECT_EQ(woke.wake, 50);
    EXPECT_EQ(asked, 1);
    // What the window showed is gone: while covered that wakes nothing; seen, it is drawn at
    // once and presented whole, though the buffer holds the frame before.
    frames.invalidate();
    EXPECT_EQ(frames.wake(30, covered, age).wake, 50);
    woke = frames.wake(30, seen, age);
    ASSERT_TRUE(woke.drawn);
    EXPECT_EQ(*woke.changed, (std::vector<pixel_box>{{0, 0, 800, 600}}));
    // A step and its frame in one wake.
    woke = frames.wake(50, seen, age);
    EXPECT_TRUE(woke.stepped && woke.drawn);
    EXPECT_EQ(frames.steps(), 2u);
    EXPECT_EQ(woke.wake, 100);
    testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace roses
