#include "garden/evaluate.h"
#include "garden/orbit_walk.h"
#include "random/random.h"
#include "reference_evaluate.h"

#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

namespace roses {
namespace {

// Complex functions may differ in their last bits between C runtimes: interpolated points
// are compared with a tolerance, decisions exactly.
void expect_point_near(complex_f actual, complex_f expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.real(), expected.real(), tolerance * (1 + std::abs(expected.real())));
    EXPECT_NEAR(actual.imag(), expected.imag(), tolerance * (1 + std::abs(expected.imag())));
}

// The same walk, with every interpolated point from a double-precision exp of the blended
// logarithms: what the spiral arc is meant to be.
complex_f arc_point(complex_f p, complex_f c, double t) {
    const complex_f q = square_plus_c(p, c);
    const complex_d log_p = principal_log(p);
    const complex_d log_q = principal_log(q);
    // Log q / Log p can move the argument by whole turns: follow the exponent, not the
    // shorter arc.
    const complex_d kappa = divide(log_q, log_p);
    const complex_d e{1.0 + t * (kappa.real() - 1.0), t * kappa.imag()};
    const complex_d blended = e * log_p;
    return complex_f(std::polar(std::exp(blended.real()), blended.imag()));
}

TEST(RoseShape, DefaultShapeHasRoomForTheLongestOrbit) {
    rose_shape shape;
    EXPECT_EQ(shape.points_per_hop, 9);
    EXPECT_EQ(shape.max_hops, 1024);
    EXPECT_EQ(shape.hops, 0);
    EXPECT_EQ(shape.point_count, 0);
    ASSERT_EQ(shape.points.size(), 9216u);
    EXPECT_EQ(shape.points[9215], complex_f(0, 0));
    EXPECT_EQ(shape.centre, complex_f(0, 0));
    EXPECT_EQ(shape.c, complex_f(0, 0));
}

TEST(RoseShape, AssignmentCopiesTheWholeArrayAndKeepsTheDestinationsSizes) {
    rose_shape source;
    source.c = {0.25f, -0.5f};
    source.hops = 3;
    source.point_count = 27;
    source.centre = {0.1f, 0.2f};
    source.angle = 1.5f;
    source.radius = 0.3f;
    for (std::size_t i = 0; i < source.points.size(); ++i) {
        source.points[i] = {static_cast<float>(i), 1.0f};
    }
    source.points_per_hop = 3; // the destination's own sizes count

    rose_shape destination;
    const complex_f* array = destination.points.data();
    destination = source;
    EXPECT_EQ(destination.points.data(), array) << "assignment must not reallocate";
    EXPECT_EQ(destination.points_per_hop, 9);
    EXPECT_EQ(destination.c, source.c);
    EXPECT_EQ(destination.hops, 3);
    EXPECT_EQ(destination.point_count, 27);
    EXPECT_EQ(destination.centre, source.centre);
    EXPECT_EQ(destination.angle, 1.5f);
    EXPECT_EQ(destination.radius, 0.3f);
    EXPECT_EQ(destination.points[9215], complex_f(9215.0f, 1.0f));
}

TEST(HopExponent, IsRealForAPositiveRealOrbitAndNaNAtOne) {
    const complex_f kappa = hop_exponent({2.0f, 0.0f}, {2.0f, 0.0f});
    EXPECT_NEAR(kappa.real(), std::log2(6.0) - 1.0, 1e-6);
    EXPECT_EQ(kappa.imag(), 0.0f);
    const complex_f at_one = hop_exponent({1.0f, 0.0f}, {0.5f, 0.0f});
    EXPECT_TRUE(std::isnan(at_one.real()));
    EXPECT_TRUE(std::isnan(at_one.imag()));
}

TEST(OrbitCursor, StartsAtCAndHopsToTheNextIterate) {
    orbit_cursor cursor({0.5f, 0.5f});
    EXPECT_EQ(cursor.current, complex_f(0.5f, 0.5f));
    EXPECT_EQ(cursor.next, cursor.current);
    EXPECT_EQ(cursor.next_exponent, complex_f(0, 0));
    cursor.hop(); // computes the next iterate first, since next still equals current
    EXPECT_EQ(cursor.current, complex_f(0.5f, 1.0f));
    EXPECT_EQ(cursor.exponent, hop_exponent({0.5f, 1.0f}, {0.5f, 0.5f}));
}

TEST(Evaluate, EscapingOrbitWritesTheNinePointsOfItsOnlyHop) {
    rose_shape shape;
    EXPECT_TRUE(evaluate(shape, {2.0f, 0.0f}));
    EXPECT_EQ(shape.hops, 1);
    EXPECT_EQ(shape.point_count, 9);
    const float expected[] = {2, 2, 2.260f, 2.553f, 2.884f, 3.259f, 3.682f, 4.160f, 4.700f};
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(shape.points[i].real(), expected[i], 5e-4) << "point " << i;
        EXPECT_EQ(shape.points[i].imag(), 0.0f) << "point " << i;
        if (i >= 1) {
            expect_point_near(shape.points[i], complex_f(2.0f * std::pow(3.0f, (i - 1) / 9.0f)));
        }
    }
    EXPECT_EQ(shape.points[9], complex_f(0, 0)) << "the escaping iterate is not written";
}

TEST(Evaluate, EarlyConvergenceIsRejected) {
    rose_shape shape;
    EXPECT_TRUE(evaluate(shape, {-2.0f, 0.0f})); // -2, 2, 2: no step in the second pass
    EXPECT_EQ(shape.hops, 2);
    EXPECT_EQ(shape.point_count, 18);
    EXPECT_EQ(shape.angle, 0.0f);

    EXPECT_TRUE(evaluate(shape, {0.0f, 0.0f})); // a fixed point from the start
    EXPECT_EQ(shape.hops, 1);
    EXPECT_EQ(shape.point_count, 9);
}

TEST(Evaluate, NoHopsRejectsAtOnce) {
    rose_shape shape;
    shape.max_hops = 0;
    EXPECT_TRUE(evaluate(shape, {0.3f, 0.1f}));
    EXPECT_EQ(shape.hops, 0);
    EXPECT_EQ(shape.point_count, 0);
    EXPECT_EQ(shape.radius, 0.0f);
}

TEST(Evaluate, BoundedOrbitRunsToTheLimit) {
    rose_shape shape;
    // c = -1 cycles 0, -1, 0, ...: it neither escapes nor settles.
    EXPECT_TRUE(evaluate(shape, {-1.0f, 0.0f}));
    EXPECT_EQ(shape.hops, 1024);
    EXPECT_EQ(shape.point_count, 9216);
    EXPECT_EQ(shape.centre, complex_f(-0.5f, 0.0f));
    EXPECT_EQ(shape.radius, 1.0f) << "z0 = -1 lies 1 from the carried centre 0";
}

TEST(Evaluate, ConvergenceBoundaryLiesBetweenThe63rdAnd64thIteration) {
    // On the real axis near c = -2/3 the orbit creeps toward its attracting fixed point, so
    // the iteration at which its step falls below 0.001 moves slowly with c. These two c
    // were found by scanning; the decision path uses only exactly rounded arithmetic, so
    // they converge at the same iteration on every platform.
    rose_shape shape;
    EXPECT_TRUE(evaluate(shape, {-0.662572861f, 0.0f}));
    EXPECT_EQ(shape.hops, 63);
    EXPECT_EQ(shape.point_count, 63 * 9);

    // At 64 the orbit goes on to the final test, which rejects it by its radius: the first
    // iterate lies |c| from the fresh centre 0.
    rose_shape other;
    EXPECT_TRUE(evaluate(other, {-0.663871706f, 0.0f}));
    EXPECT_EQ(other.hops, 64);
    EXPECT_EQ(other.point_count, 64 * 9);
    EXPECT_GT(other.radius, 0.35f);
}

TEST(Evaluate, FinalTestsCompareFloatsExactlyAgainstDoubleThresholds) {
    const float good_angle = 2.0f;
    EXPECT_FALSE(final_test_rejects(0.2f, good_angle, 0.0f));
    EXPECT_TRUE(final_test_rejects(0.2f, good_angle, 0.05f)) << "0.05f lies above 0.05";
    EXPECT_FALSE(final_test_rejects(0.2f, good_angle, std::nextafter(0.05f, 0.0f)));
    EXPECT_FALSE(final_test_rejects(0.35f, good_angle, 0.0f)) << "0.35f lies below 0.35";
    EXPECT_TRUE(final_test_rejects(std::nextafter(0.35f, 1.0f), good_angle, 0.0f));
    EXPECT_TRUE(final_test_rejects(std::nextafter(0.1f, 0.0f), good_angle, 0.0f));
    float below = static_cast<float>(min_angle);
    if (below >= min_angle) {
        below = std::nextafter(below, 0.0f);
    }
    EXPECT_TRUE(final_test_rejects(0.2f, below, 0.0f)) << "largest float below 2 pi/7";
    EXPECT_FALSE(final_test_rejects(0.2f, std::nextafter(below, 1.0f), 0.0f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(final_test_rejects(nan, good_angle, 0.0f));
    EXPECT_TRUE(final_test_rejects(0.2f, nan, 0.0f));
    EXPECT_TRUE(final_test_rejects(0.2f, std::numeric_limits<float>::infinity(), 0.0f));
}

// Searches like the garden does, from a fixed engine, on one shape.
complex_f search(rose_shape& shape, std::uint32_t seed, int* candidates = nullptr) {
    std::mt19937 engine(seed);
    int tried = 0;
    for (;;) {
        const double d1 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const double d2 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const complex_f c = search_candidate(d1, d2);
        ++tried;
        if (!evaluate(shape, c)) {
            if (candidates) {
                *candidates = tried;
            }
            return c;
        }
    }
}

TEST(Evaluate, AcceptedShapesMeetEveryTest) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        rose_shape shape;
        const complex_f c = search(shape, seed);
        SCOPED_TRACE(seed);
        EXPECT_EQ(shape.c, c);
        EXPECT_GE(shape.hops, 64);
        EXPECT_EQ(shape.point_count, shape.hops * 9);
        EXPECT_GE(shape.radius, 0.1f);
        EXPECT_LE(shape.radius, 0.35f);
        EXPECT_GE(shape.angle, 0.8975979010256552);
        const complex_f last = shape.points[(shape.hops - 1) * 9];
        EXPECT_LE(modulus(difference(last, shape.centre)), 0.05f);
        // Every hop starts with its iterate, repeated by the first interpolated point, and
        // the interpolated points follow the spiral arc toward the next iterate.
        for (int i = 0; i + 1 < shape.hops; i += 97) {
            const complex_f z = shape.points[i * 9];
            EXPECT_EQ(shape.points[i * 9 + 9], square_plus_c(z, c));
            expect_point_near(shape.points[i * 9 + 1], z);
            for (int j = 1; j < 8; ++j) {
                expect_point_near(shape.points[i * 9 + 1 + j], arc_point(z, c, j / 9.0), 2e-5f);
            }
        }
    }
}

TEST(Evaluate, TheCarriedCentreCanChangeTheVerdict) {
    rose_shape fresh;
    const complex_f c = search(fresh, 3);

    rose_shape shifted;
    shifted.centre = {c.real() + 1.0f, c.imag()}; // far from the orbit
    EXPECT_TRUE(evaluate(shifted, c)) << "the first 32 distances from a far centre are long";
    EXPECT_GT(shifted.radius, 0.35f);
    // That evaluation reached index 32 and left the orbit's own centre behind: the same c
    // on the same shape is now accepted.
    EXPECT_EQ(shifted.centre, fresh.centre);
    EXPECT_FALSE(evaluate(shifted, c));
}

TEST(Evaluate, ShapeWithoutRoomIsRejectedUntouched) {
    rose_shape no_points_per_hop;
    no_points_per_hop.points_per_hop = 0;
    no_points_per_hop.hops = 5;
    EXPECT_TRUE(evaluate(no_points_per_hop, {0.3f, 0.5f}));
    EXPECT_EQ(no_points_per_hop.hops, 5);
    EXPECT_EQ(no_points_per_hop.c, complex_f(0, 0));

    rose_shape small;
    small.points.resize(100);
    small.points.shrink_to_fit();
    EXPECT_TRUE(evaluate(small, {-1.0f, 0.0f}));
    EXPECT_EQ(small.point_count, 0);
    EXPECT_EQ(small.points[0], complex_f(0, 0));

    rose_shape too_many_hops;
    too_many_hops.max_hops = 0x7fffffff;
    EXPECT_TRUE(evaluate(too_many_hops, {-1.0f, 0.0f}));
    EXPECT_EQ(too_many_hops.point_count, 0);
}

} // namespace
} // namespace roses
