// The fast evaluation against the literal one: every decision bit for bit, every
// interpolated point close to a double-precision point of the logarithmic-spiral arc.
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "garden/evaluate.h"
#include "garden/orbit_arcs.h"
#include "garden/orbit_math.h"
#include "garden/orbit_walk.h"
#include "random/random.h"
#include "reference_evaluate.h"

namespace roses {
namespace {

// Fewer under an emulator, where every candidate costs many times as much.
#ifndef ROSES_EQUIVALENCE_CANDIDATES
#define ROSES_EQUIVALENCE_CANDIDATES 100000
#endif
constexpr int random_candidates = ROSES_EQUIVALENCE_CANDIDATES;
// Every interpolated point of every this-many-th candidate is checked against the arc.
constexpr int point_check_every = 8;
constexpr double point_tolerance = 2e-6;

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// Same verdict and the same decisions, NaN included, down to the last bit; the iterates
// that start every hop are decisions too.
void expect_same_decisions(const rose_shape& fast, bool fast_rejected, const rose_shape& literal,
                           bool literal_rejected) {
    ASSERT_EQ(fast_rejected, literal_rejected);
    ASSERT_EQ(fast.hops, literal.hops);
    ASSERT_EQ(fast.point_count, literal.point_count);
    EXPECT_EQ(bits(fast.centre.real()), bits(literal.centre.real()));
    EXPECT_EQ(bits(fast.centre.imag()), bits(literal.centre.imag()));
    EXPECT_EQ(bits(fast.angle), bits(literal.angle));
    EXPECT_EQ(bits(fast.radius), bits(literal.radius));
    for (std::int32_t i = 0; i < fast.hops; ++i) {
        const complex_f a = fast.points[static_cast<std::size_t>(i) * fast.points_per_hop];
        const complex_f b = literal.points[static_cast<std::size_t>(i) * literal.points_per_hop];
        ASSERT_EQ(bits(a.real()), bits(b.real())) << "iterate " << i;
        ASSERT_EQ(bits(a.imag()), bits(b.imag())) << "iterate " << i;
    }
}

// exp((1 - t) Log p + t Log q) in double precision; at t = 0 the iterate itself, which is
// also the limit where Log p is infinite.
complex_d exact_arc_point(complex_f p, complex_f q, double t) {
    if (t == 0.0) {
        return {p.real(), p.imag()};
    }
    const complex_d blended = (1.0 - t) * principal_log(p) + t * principal_log(q);
    return std::polar(std::exp(blended.real()), blended.imag());
}

// Every interpolated point within the tolerance of the exact arc, relative to its size.
void expect_points_on_arcs(const rose_shape& shape) {
    const std::int32_t per_hop = shape.points_per_hop;
    const double h = static_cast<float>(1.0 / per_hop);
    for (std::int32_t i = 0; i < shape.hops; ++i) {
        const complex_f* hop = shape.points.data() + static_cast<std::ptrdiff_t>(i) * per_hop;
        const complex_f p = hop[0];
        if (!std::isfinite(p.real()) || !std::isfinite(p.imag())) {
            continue; // an orbit gone NaN draws NaN, as the literal evaluation does
        }
        const complex_f q = square_plus_c(p, shape.c);
        for (std::int32_t j = 0; j + 1 < per_hop; ++j) {
            const complex_d exact = exact_arc_point(p, q, j * h);
            const complex_f point = hop[1 + j];
            const double error = std::abs(complex_d(point.real(), point.imag()) - exact);
            ASSERT_LE(error, point_tolerance * std::abs(exact) + 1e-38)
                << "c = " << shape.c << ", hop " << i << " from " << p << " to " << q << ", point "
                << j << " is " << point << ", the arc passes " << exact;
        }
    }
}

// Redraws a walked shape's arcs with one particular kernel.
void redraw(rose_shape& shape, arcs::kernel kernel) {
    const complex_f last =
        shape.points[static_cast<std::size_t>(shape.hops - 1) * shape.points_per_hop];
    kernel({shape.points.data(), shape.hops, shape.points_per_hop, square_plus_c(last, shape.c)});
}

TEST(EvaluateEquivalence, RandomCandidatesAreJudgedLikeTheLiteralEvaluation) {
    // Like the garden's search: one shape per side, carrying its centre from candidate to
    // candidate, and c drawn as d1, then d2.
    std::mt19937 engine(20240601);
    rose_shape fast;
    rose_shape literal;
    rose_shape check;
    // The dispatcher's choice draws the fast shape; every other build is checked on a copy.
    auto other_kernels = arcs::available_kernels();
    other_kernels.pop_back();
    int accepted = 0;
    int full_length = 0;
    for (int k = 0; k < random_candidates; ++k) {
        const double d1 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const double d2 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const complex_f c = search_candidate(d1, d2);
        const bool fast_rejected = evaluate(fast, c);
        const bool literal_rejected = reference_evaluate(literal, c);
        SCOPED_TRACE(::testing::Message() << "candidate " << k << ", c = " << c);
        ASSERT_NO_FATAL_FAILURE(
            expect_same_decisions(fast, fast_rejected, literal, literal_rejected));
        accepted += fast_rejected ? 0 : 1;
        full_length += fast.hops == fast.max_hops ? 1 : 0;
        if (k % point_check_every == 0 || !fast_rejected) {
            ASSERT_NO_FATAL_FAILURE(expect_points_on_arcs(fast));
            for (const auto& kernel : other_kernels) {
                SCOPED_TRACE(kernel.name);
                check = fast;
                redraw(check, kernel.draw);
                ASSERT_NO_FATAL_FAILURE(expect_points_on_arcs(check));
            }
        }
    }
    // The draw must have reached the interesting orbits, not only quick escapes.
    EXPECT_GT(accepted, random_candidates / 10000);
    EXPECT_GT(full_length, random_candidates / 100);
}

TEST(EvaluateEquivalence, SpecialOrbitsAreJudgedLikeTheLiteralEvaluation) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    const complex_f special[] = {
        {2.0f, 0.0f},        // escapes in the first pass
        {-2.0f, 0.0f},       // lands on the fixed point 2
        {0.0f, 0.0f},        // fixed from the start: every iterate 0
        {-1.0f, 0.0f},       // 0, -1, 0, ...: logarithms of 0 in every other hop
        {-1.0f, -0.0f},      // the same cycle on the other side of the cut
        {1.0f, 0.0f},        // starts exactly at 1
        {0.0f, 1.0f},        // i, -1 + i, -i, -1 + i, ...
        {0.25f, 0.0f},       // creeps toward its fixed point
        {-0.75f, 0.0f},      // creeps around its 2-cycle
        {1e-30f, 0.0f},      // iterates far below 1: logarithms near -69
        {tiny, tiny},        // the smallest float
        {-1.9999999f, 0.0f}, // chaotic on the real axis
        {-0.12f, 0.75f},     // a 3-cycle: all passes
        {0.3f, 0.5f},        // spirals in slowly
        {std::numeric_limits<float>::quiet_NaN(), 0.0f}, // NaN throughout: all passes
        {std::numeric_limits<float>::infinity(), 0.0f},  // out of bounds from the start
        {-0.662572861f, 0.0f},                           // converges at the 63rd iteration
        {-0.663871706f, 0.0f},                           // converges at the 64th
    };
    for (const complex_f c : special) {
        SCOPED_TRACE(::testing::Message() << "c = " << c);
        rose_shape fast;
        rose_shape literal;
        // Twice on each shape: the second evaluation starts from the carried centre.
        for (int round = 0; round < 2; ++round) {
            const bool fast_rejected = evaluate(fast, c);
            const bool literal_rejected = reference_evaluate(literal, c);
            expect_same_decisions(fast, fast_rejected, literal, literal_rejected);
            expect_points_on_arcs(fast);
        }
    }
}

TEST(EvaluateEquivalence, OtherHopSizesAndOrbitLimitsAreJudgedAlike) {
    // The system only builds 9 points per hop and 1024 hops, but nothing in the
    // evaluation depends on those numbers: the vector kernel's lanes and blocks must fit
    // any of them, including a last block that fills only part of a vector.
    struct sizes {
        std::int32_t per_hop;
        std::int32_t max_hops;
    };
    const complex_f candidates[] = {{-0.12f, 0.75f}, {0.3f, 0.5f}, {-1.0f, 0.0f}, {2.0f, 0.0f}};
    for (const sizes size : {sizes{1, 1024}, sizes{2, 1024}, sizes{3, 3072}, sizes{20, 257},
                             sizes{9, 259}, sizes{9, 1}}) {
        for (const complex_f c : candidates) {
            SCOPED_TRACE(::testing::Message() << "c = " << c << ", " << size.per_hop
                                              << " per hop, at most " << size.max_hops);
            rose_shape fast;
            rose_shape literal;
            for (rose_shape* shape : {&fast, &literal}) {
                shape->points_per_hop = size.per_hop;
                shape->max_hops = size.max_hops;
            }
            const bool fast_rejected = evaluate(fast, c);
            const bool literal_rejected = reference_evaluate(literal, c);
            expect_same_decisions(fast, fast_rejected, literal, literal_rejected);
            expect_points_on_arcs(fast);
            // Nothing beyond the evaluated points is written.
            const auto end = static_cast<std::size_t>(fast.point_count);
            if (end < fast.points.size()) {
                EXPECT_EQ(fast.points[end], complex_f(0, 0));
            }
        }
    }
}

TEST(EvaluateEquivalence, ArcsThroughZeroAndOneStayFinite) {
    // The literal power has no value where an iterate's logarithm is 0 or infinite; the arc
    // has a limit there, and that is what is drawn.
    rose_shape at_one;
    rose_shape literal;
    evaluate(at_one, {1.0f, 0.0f}); // 1, 2, 5, 26
    reference_evaluate(literal, {1.0f, 0.0f});
    EXPECT_TRUE(std::isnan(literal.points[2].real())) << "the literal arc leaving 1";
    EXPECT_EQ(at_one.points[1], complex_f(1.0f, 0.0f));
    EXPECT_NEAR(at_one.points[2].real(), std::pow(2.0, 1.0 / 9.0), 1e-6);

    rose_shape cycle;
    evaluate(cycle, {-1.0f, 0.0f}); // -1, 0, -1, 0, ...
    for (std::int32_t i = 0; i < cycle.point_count; ++i) {
        const complex_f point = cycle.points[static_cast<std::size_t>(i)];
        ASSERT_TRUE(std::isfinite(point.real()) && std::isfinite(point.imag())) << i;
        const bool leaves_minus_one = (i / 9) % 2 == 0 && i % 9 <= 1;
        EXPECT_EQ(point, leaves_minus_one ? complex_f(-1.0f, 0.0f) : complex_f(0.0f, 0.0f)) << i;
    }
}

TEST(EvaluateEquivalence, SquaredBoundsDecideLikeTheModuli) {
    const squared_modulus_bounds& bounds = squared_bounds();
    // Points just around each circle, on the axes and on diagonals, a few floats either way.
    auto around = [](float radius, auto check) {
        for (const double turn : {0.0, 0.125, 0.3, 0.5, 0.77}) {
            const auto re = static_cast<float>(radius * std::cos(two_pi * turn));
            const auto im = static_cast<float>(radius * std::sin(two_pi * turn));
            float x = re;
            for (int step = 0; step < 8; ++step) {
                x = std::nextafter(x, -2.0f * std::abs(re) - 1.0f);
            }
            for (int step = 0; step < 16; ++step, x = std::nextafter(x, 2.0f * std::abs(re) + 1)) {
                check(complex_f(x, im));
                check(complex_f(im, x));
            }
        }
    };
    around(5.0f, [&](complex_f z) {
        EXPECT_EQ(squared_modulus(z) > bounds.escaped, modulus(z) > escape_radius) << z;
    });
    around(0.001f, [&](complex_f z) {
        EXPECT_EQ(squared_modulus(z) <= bounds.converged, modulus(z) < convergence_step) << z;
    });
    const float tiny = std::numeric_limits<float>::denorm_min();
    for (const complex_f z : {complex_f(0, 0), complex_f(tiny, 0), complex_f(tiny, tiny),
                              complex_f(1e-23f, 0), complex_f(0, -3e-23f)}) {
        EXPECT_EQ(squared_modulus(z) <= bounds.zero, modulus(z) == 0.0f) << z;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(squared_modulus({nan, 0}) > bounds.escaped);
    EXPECT_FALSE(squared_modulus({nan, 0}) <= bounds.converged);
    EXPECT_FALSE(squared_modulus({nan, 0}) <= bounds.zero) << "a NaN step counts as non-zero";
}

} // namespace
} // namespace roses
