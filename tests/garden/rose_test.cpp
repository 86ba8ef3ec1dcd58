#include "garden/rose.h"
#include "random/random.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace roses {
namespace {

// A synthetic orbit of n points on a circle of radius 0.2 around (0.1, -0.3).
void make_circle(rose_shape& shape, std::int32_t n) {
    shape.c = {0.25f, 0.5f};
    shape.hops = n / 9;
    shape.point_count = n;
    shape.centre = {0.1f, -0.3f};
    shape.radius = 0.2f;
    shape.angle = 1.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        const double t = 6.283185307179586 * i / n;
        shape.points[i] = {static_cast<float>(0.1 + 0.2 * std::cos(t)),
                           static_cast<float>(-0.3 + 0.2 * std::sin(t))};
    }
}

const rgba red{200, 10, 20, 0};

TEST(RoseFade, FallsFromFullOpacityTowardAThird) {
    EXPECT_EQ(fade_alpha(0.0), 255);
    EXPECT_EQ(fade_alpha(0.25), 176);
    EXPECT_EQ(fade_alpha(0.5), 133);
    EXPECT_EQ(fade_alpha(0.75), 108);
    EXPECT_GE(fade_alpha(std::nextafter(1.0, 0.0)), 94);
}

TEST(RoseColours, FadeCoversHalfTheSecondHalfThenMirrors) {
    rose_shape shape;
    make_circle(shape, 7);
    rose r(&shape, 0, red, 800, 600);
    const std::int32_t n = 7;
    // Fade positions 0, 2/7, 4/7, 6/7 on entries n ... n+3; the rest of the half is clear.
    const double xs[] = {0.0, 2.0 / 7, 4.0 / 7, 6.0 / 7};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.colours[n + k], (rgba{200, 10, 20, fade_alpha(xs[k])})) << k;
    }
    for (int k = 4; k < n; ++k) {
        EXPECT_EQ(r.colours[n + k], (rgba{0, 0, 0, 0})) << k;
    }
    EXPECT_EQ(r.colours[n - 1][3], 255);
    EXPECT_EQ(r.colours[n][3], 255);
    for (int k = 0; k < 2 * n; ++k) {
        EXPECT_EQ(r.colours[k], r.colours[2 * n - 1 - k]) << k;
    }
}

TEST(RoseColours, ShorterOrbitLeavesNothingOfTheLongerOne) {
    rose_shape shape;
    make_circle(shape, 40);
    rose r(&shape, 0, red, 800, 600);
    make_circle(r.candidate, 12);
    testing::internal::CaptureStderr();
    r.commit();
    testing::internal::GetCapturedStderr();
    r.fill_colours();
    for (int k = 6; k < 12; ++k) {
        EXPECT_EQ(r.colours[12 + k], (rgba{0, 0, 0, 0})) << k;
    }
    for (int k = 0; k < 24; ++k) {
        EXPECT_EQ(r.colours[k], r.colours[23 - k]) << k;
    }
}

TEST(RoseDraw, RangesFollowTheFourPhases) {
    const std::int32_t n = 100;
    struct expected {
        std::int32_t age, first, offset, count;
    };
    const expected cases[] = {
        {3, n - 4, n, 4},                         // planted between a cull and the drawing
        {6, n - 7, n, 7},                         // first frame after a cull
        {n - 1, 0, n, n},                         // grown in full
        {n, 0, n, n},                             // the sweep starts on vertex 0
        {2 * n, 0, 0, n},                         // the return starts on vertex n-1
        {3 * n - 1, 0, n - 1, n},                 // the spot is nearly back
        {3 * n, 1, n, n - 1},                     // shrinking
        {4 * n - 2, 4 * n - 2 - 3 * n + 1, n, 1}, // a single vertex: nothing to draw
    };
    for (const expected& e : cases) {
        const strip_range range = shown_range(e.age, n);
        EXPECT_EQ(range.first, e.first) << e.age;
        EXPECT_EQ(range.offset, e.offset) << e.age;
        EXPECT_EQ(range.count, e.count) << e.age;
        EXPECT_GE(range.offset, 0);
        EXPECT_LE(range.offset + range.count, 2 * n) << e.age;
    }
}

// Leaving out a segment that shows must never happen, and over every age of the life only
// segments with both ends transparent may be left out.
TEST(RoseDraw, LeavesOutOnlyTheTransparentEnds) {
    rose_shape shape;
    make_circle(shape, 41);
    rose r(&shape, 0, red, 800, 600);
    const std::int32_t n = r.count;
    const auto clear = [&](std::int32_t at) { return r.colours[at][3] == 0; };
    for (std::int32_t age = 0; age < 4 * n; ++age) {
        const strip_range all = shown_range(age, n);
        const strip_range kept = r.shown_strip(age);
        const std::int32_t end = kept.count >= 2 ? kept.first + kept.count : all.first;
        for (std::int32_t i = all.first; i + 1 < all.first + all.count; ++i) {
            const std::int32_t at = all.offset + (i - all.first);
            const bool inside = kept.count >= 2 && i >= kept.first && i + 1 < end;
            EXPECT_EQ(inside, !(clear(at) && clear(at + 1))) << "age " << age << ", segment " << i;
        }
        if (kept.count >= 2) {
            EXPECT_EQ(kept.offset - all.offset, kept.first - all.first) << age;
        }
    }
}

TEST(RoseLayout, FillsTheClientAreaAndRecedes) {
    rose_shape shape;
    make_circle(shape, 36);
    rose r(&shape, 1, red, 800.9f, 600.0f);
    EXPECT_EQ(r.width, 800.0f);
    EXPECT_EQ(r.height, 600.0f);
    EXPECT_EQ(r.age, 3);
    EXPECT_EQ(r.count, 36);
    EXPECT_FALSE(r.relayout);
    // Point 0 lies at centre + (0.2, 0): 0.2 of the half side 0.24 to the right of centre.
    EXPECT_NEAR(r.vertices[0].x, 400 + 400 * 0.2 / 0.24, 1e-3);
    EXPECT_NEAR(r.vertices[0].y, 300, 1e-3);
    EXPECT_EQ(r.vertices[0].z, 0.0f);
    EXPECT_NEAR(r.vertices[9].x, 400, 1e-3);
    EXPECT_NEAR(r.vertices[9].y, 300 + 300 * 0.2 / 0.24, 1e-3);
    EXPECT_EQ(r.vertices[9].z, -150.0f);
}

TEST(RoseLayout, ZeroSizeRecordsTheSizeOnly) {
    rose_shape shape;
    make_circle(shape, 36);
    rose unsized(&shape, 0, red, 0.0f, 600.0f);
    EXPECT_EQ(unsized.vertices[5].x, 0.0f);
    EXPECT_EQ(unsized.height, 600.0f);

    rose r(&shape, 0, red, 800.0f, 600.0f);
    const vertex before = r.vertices[5];
    r.relayout = true;
    r.layout(0, 300);
    EXPECT_EQ(r.width, 0.0f);
    EXPECT_EQ(r.height, 300.0f);
    EXPECT_EQ(r.vertices[5].x, before.x);
    EXPECT_EQ(r.vertices[5].z, before.z);
    EXPECT_TRUE(r.relayout);
}

TEST(RoseWander, RejectedStepsHalveTheClampedVelocityAndTurnTheAcceleration) {
    rose_shape shape;
    make_circle(shape, 36);
    shape.c = {3.0f, 3.0f}; // far outside: every nearby orbit escapes
    rose r(&shape, 0, red, 800, 600);
    r.velocity = {0.0002f, -0.0002f};
    r.acceleration = {0.0002f, -0.0002f};
    reseed_random(11);
    const double n1 = normal01();
    const double n2 = normal01();
    reseed_random(11);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(r.wander());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // 0.0002 + 0.0002 (+ a tiny impulse) is held at 0.0003, then halved.
    EXPECT_EQ(r.velocity, complex_f(0.00015f, -0.00015f));
    EXPECT_EQ(r.acceleration.real(), -static_cast<float>(0.0002f + wander_impulse * n1));
    EXPECT_EQ(r.acceleration.imag(), -static_cast<float>(-0.0002f + wander_impulse * n2));
    EXPECT_EQ(shape.c, complex_f(3.0f, 3.0f));
    EXPECT_EQ(r.age, 3);
}

TEST(RoseCommit, RescalesTheAgeAndReportsTheNewShape) {
    rose_shape shape;
    make_circle(shape, 900);
    rose r(&shape, 0, red, 800, 600);
    make_circle(r.candidate, 450);
    r.candidate.angle = 2.0943951f;
    r.candidate.radius = 0.2162734f;
    r.candidate.hops = 50;
    r.candidate.c = {-0.5f, 0.125f};
    r.age = 100;
    testing::internal::CaptureStderr();
    r.commit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "angle:\t2.0944\nradius:\t0.216273\nhops:\t50\n\n");
    EXPECT_EQ(r.age, 50);
    EXPECT_EQ(r.count, 450);
    EXPECT_TRUE(r.relayout);
    EXPECT_EQ(shape.point_count, 450);
    EXPECT_EQ(shape.c, complex_f(-0.5f, 0.125f));
    EXPECT_EQ(shape.points[449], r.candidate.points[449]);

    make_circle(shape, 900);
    r.count = 900;
    make_circle(r.candidate, 300);
    r.age = 3590;
    testing::internal::CaptureStderr();
    r.commit();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.age, 1196);

    // The cap: a rose past its bound is brought under the new one.
    make_circle(shape, 100);
    make_circle(r.candidate, 10);
    r.age = 500;
    testing::internal::CaptureStderr();
    r.commit();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.age, 39);
}

} // namespace
} // namespace roses
