#include "reference_evaluate.h"

#include <cmath>
#include <complex>
#include <cstdint>

#include "garden/evaluate.h"
#include "garden/orbit_math.h"
#include "garden/orbit_walk.h"

namespace roses {

complex_f hop_exponent(complex_f p, complex_f c) {
    const complex_f q = square_plus_c(p, c);
    const complex_d ratio = divide(principal_log(q), principal_log(p));
    const complex_f kappa{static_cast<float>(ratio.real()), static_cast<float>(ratio.imag())};
    return {static_cast<float>(static_cast<double>(kappa.real()) - 1.0), kappa.imag()};
}

orbit_cursor::orbit_cursor(complex_f start)
    : current(start), c(start), next(start), exponent(hop_exponent(start, start)),
      next_exponent(0.0f, 0.0f) {}

void orbit_cursor::advance() {
    next = square_plus_c(current, c);
    next_exponent = hop_exponent(next, c);
}

void orbit_cursor::hop() {
    if (next == current) {
        advance();
    }
    current = next;
    exponent = next_exponent;
}

// One pass after another, in the order the orbit is defined: the cursor computes each
// iterate's hop exponent, every interpolated point is a complex power and every corner's
// arc cosine is taken as it is met.
bool reference_evaluate(rose_shape& shape, complex_f c) {
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
        for (std::int32_t j = 0; j + 1 < per_hop; ++j) {
            const complex_f t{static_cast<float>(j) * h, 0.0f};
            out[shape.point_count++] = std::pow(z, complex_f(1.0f, 0.0f) + t * cursor.exponent);
        }

        cursor.advance();
        const complex_f d = difference(cursor.next, z);
        const float d_size = modulus(d);
        const float d_prev_size = modulus(d_prev);
        if (d_prev_size != 0.0f && d_size != 0.0f) {
            shape.angle = corner_angle(d_prev, d_prev_size, d, d_size);
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
