// The decision path of an evaluation. The verdict, hops, point_count, centre, angle and
// radius never depend on the interpolated points, so the walk writes only the iterates and
// leaves the arcs between them to be drawn afterwards, a whole orbit at a time.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "garden/evaluate.h"
#include "garden/orbit_math.h"

namespace roses {

// The final tests, in their order; NaN passes the ordered comparisons and is caught by
// the last two.
inline bool final_test_rejects(float radius, float angle, float dist) {
    return radius < min_radius || radius > max_radius || angle < min_angle ||
           dist > max_end_distance || !std::isfinite(radius) || !std::isfinite(angle);
}

// The corner at an iterate, between the step d_prev that arrived and the step d that leaves.
inline float corner_angle(complex_f d_prev, float d_prev_size, complex_f d, float d_size) {
    const double dot = -static_cast<double>(d_prev.real()) * d.real() -
                       static_cast<double>(d_prev.imag()) * d.imag();
    const auto x = static_cast<float>(dot / (static_cast<double>(d_size) * d_prev_size));
    return static_cast<float>(std::acos(static_cast<double>(x)));
}

// A stored modulus is the float nearest the double square root of the squared modulus, a
// non-decreasing function of the squared modulus. So each test of a modulus against a
// constant is a test of the squared modulus against the largest square that fails it,
// found once by bisection, and the running maximum of the distances is the modulus of the
// running maximum of their squares: the walk takes no square root per pass.
struct squared_modulus_bounds {
    double escaped;   // modulus > escape_radius  <=>  square > escaped
    double converged; // modulus < convergence_step  <=>  square <= converged
    double zero;      // modulus == 0  <=>  square <= zero
};

inline float modulus_of_square(double square) {
    return static_cast<float>(std::sqrt(square));
}

// The largest non-negative double at which holds(square) is still false, for a test that
// is false at 0 and true at infinity and changes once in between. Non-negative doubles
// are ordered like their bit patterns.
template <class Test> double last_failing_square(Test holds) {
    std::uint64_t low = 0;
    std::uint64_t high = std::bit_cast<std::uint64_t>(std::numeric_limits<double>::infinity());
    while (high - low > 1) {
        const std::uint64_t middle = low + (high - low) / 2;
        if (holds(std::bit_cast<double>(middle))) {
            high = middle;
        } else {
            low = middle;
        }
    }
    return std::bit_cast<double>(low);
}

inline const squared_modulus_bounds& squared_bounds() {
    static const squared_modulus_bounds bounds{
        last_failing_square([](double s) { return modulus_of_square(s) > escape_radius; }),
        last_failing_square([](double s) { return !(modulus_of_square(s) < convergence_step); }),
        last_failing_square([](double s) { return modulus_of_square(s) != 0.0f; }),
    };
    return bounds;
}

inline double squared_modulus(complex_f w) {
    const double re = w.real();
    const double im = w.imag();
    return re * re + im * im;
}

// Walks the orbit of c, writing each iterate at the start of its hop's points and every
// decision into shape; returns true when c is rejected. Only the last measured corner is
// ever read, so its arc cosine is taken once, at the end, from the steps kept for it.
// NaN squares behave as NaN moduli do: they fail every ordered test and count as non-zero.
inline bool walk_orbit(rose_shape& shape, complex_f c) {
    if (!shape.holds_invariant()) {
        return true;
    }
    shape.angle = 0.0f;
    shape.radius = 0.0f;
    shape.c = c;
    shape.point_count = 0;
    if (shape.max_hops <= 0) {
        shape.hops = shape.max_hops;
        return final_test_rejects(shape.radius, shape.angle, 0.0f);
    }

    const squared_modulus_bounds& bounds = squared_bounds();
    const std::int32_t per_hop = shape.points_per_hop;
    complex_f* out = shape.points.data();
    complex_f centre = shape.centre;
    double radius_square = 0.0;
    double dist_square = 0.0;
    std::int64_t n = 0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    complex_f z = c;
    complex_f d_prev{0.0f, 0.0f};
    bool d_prev_nonzero = false;
    // The steps around the last corner that could be measured.
    bool corner_seen = false;
    complex_f corner_in{0.0f, 0.0f};
    complex_f corner_out{0.0f, 0.0f};
    bool rejected = false;
    std::int32_t i = 0;

    for (;; ++i) {
        out[static_cast<std::int64_t>(i) * per_hop] = z;
        if (i >= centre_start) {
            ++n;
            sum_x += z.real();
            sum_y += z.imag();
            centre = {static_cast<float>(sum_x / static_cast<double>(n)),
                      static_cast<float>(sum_y / static_cast<double>(n))};
        }
        dist_square = squared_modulus(difference(z, centre));
        if (!(dist_square < radius_square)) {
            radius_square = dist_square;
        }

        const complex_f next = square_plus_c(z, c);
        const complex_f d = difference(next, z);
        const double d_square = squared_modulus(d);
        const bool d_nonzero = !(d_square <= bounds.zero);
        if (d_prev_nonzero && d_nonzero) {
            corner_seen = true;
            corner_in = d_prev;
            corner_out = d;
        }
        d_prev = d;
        d_prev_nonzero = d_nonzero;
        z = next;

        if (squared_modulus(z) > bounds.escaped) {
            rejected = true;
            break;
        }
        if (d_square <= bounds.converged) {
            rejected = i + 1 < min_converged_hops;
            break;
        }
        if (i + 1 >= shape.max_hops) {
            break;
        }
    }
    shape.hops = i + 1;
    shape.point_count = shape.hops * per_hop;
    shape.centre = centre;
    shape.radius = modulus_of_square(radius_square);
    if (corner_seen) {
        shape.angle = corner_angle(corner_in, modulus(corner_in), corner_out, modulus(corner_out));
    }
    return rejected ||
           final_test_rejects(shape.radius, shape.angle, modulus_of_square(dist_square));
}

} // namespace roses
