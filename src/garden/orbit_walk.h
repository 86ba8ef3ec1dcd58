// The decision path of an evaluation, shared by every way of drawing the interpolated
// points. The verdict, hops, point_count, centre, angle and radius never depend on the
// interpolated points, so two walks that differ only in interpolate judge alike, bit for bit.
#pragma once

#include <cmath>
#include <cstdint>

#include "garden/evaluate.h"
#include "garden/orbit_math.h"

namespace roses {

// The final tests, in their order; NaN passes the ordered comparisons and is caught by
// the last two.
inline bool final_test_rejects(float radius, float angle, float dist) {
    return radius < min_radius || radius > max_radius || angle < min_angle ||
           dist > max_end_distance || !std::isfinite(radius) || !std::isfinite(angle);
}

// interpolate(z, kappa, h, out, count) writes count points along the hop that leaves z.
template <class Interpolate>
bool walk_orbit(rose_shape& shape, complex_f c, Interpolate&& interpolate) {
    if (!shape.holds_invariant()) {
        return true;
    }
    shape.angle = 0.0f;
    shape.radius = 0.0f;
    shape.c = c;
    orbit_cursor cursor(c);
    shape.point_count = 0;

    const std::int32_t per_hop = shape.points_per_hop;
    const auto h = static_cast<float>(1.0 / per_hop);
    std::int64_t n = 0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    complex_f d_prev{0.0f, 0.0f};
    float dist = 0.0f;
    complex_f* out = shape.points.data();

    if (shape.max_hops <= 0) {
        shape.hops = shape.max_hops;
        return final_test_rejects(shape.radius, shape.angle, dist);
    }
    for (std::int32_t i = 0;; ++i) {
        const complex_f z = cursor.current;
        out[shape.point_count++] = z;
        if (i >= centre_start) {
            ++n;
            sum_x += z.real();
            sum_y += z.imag();
            shape.centre = {static_cast<float>(sum_x / static_cast<double>(n)),
                            static_cast<float>(sum_y / static_cast<double>(n))};
        }
        dist = modulus(difference(z, shape.centre));
        if (!(dist < shape.radius)) {
            shape.radius = dist;
        }
        if (per_hop > 1) {
            interpolate(z, cursor.exponent, h, out + shape.point_count, per_hop - 1);
            shape.point_count += per_hop - 1;
        }

        cursor.advance();
        const complex_f d = difference(cursor.next, z);
        const float d_size = modulus(d);
        const float d_prev_size = modulus(d_prev);
        if (d_prev_size != 0.0f && d_size != 0.0f) {
            const double dot = -static_cast<double>(d_prev.real()) * d.real() -
                               static_cast<double>(d_prev.imag()) * d.imag();
            const auto x = static_cast<float>(dot / (static_cast<double>(d_size) * d_prev_size));
            shape.angle = static_cast<float>(std::acos(static_cast<double>(x)));
        }
        d_prev = d;
        cursor.hop();

        if (modulus(cursor.current) > escape_radius) {
            shape.hops = i + 1;
            return true;
        }
        if (d_size < convergence_step) {
            shape.hops = i + 1;
            if (i + 1 < min_converged_hops) {
                return true;
            }
            break;
        }
        if (i + 1 >= shape.max_hops) {
            shape.hops = shape.max_hops;
            break;
        }
    }
    return final_test_rejects(shape.radius, shape.angle, dist);
}

} // namespace roses
