// The plain build of the arc kernel, for processors without a vector build of their own:
// one hop at a time, with the standard library's functions.
#include <cmath>

#include "garden/orbit_arcs.h"

namespace roses::arcs {

void draw_scalar(const orbit_arcs_job& job) {
    const std::int32_t count = job.per_hop - 1;
    if (count <= 0 || job.hops <= 0) {
        return;
    }
    // The same fraction step as the exponent form of the arc: 1 / points_per_hop as a float.
    const double h = static_cast<float>(1.0 / job.per_hop);
    const auto iterate = [&job](std::int32_t i) {
        return i < job.hops ? job.points[static_cast<std::int64_t>(i) * job.per_hop] : job.q_last;
    };
    complex_f p = iterate(0);
    double p_modulus = 0.5 * std::log(double(p.real()) * p.real() + double(p.imag()) * p.imag());
    double p_argument = std::atan2(double(p.imag()), double(p.real()));
    for (std::int32_t i = 0; i < job.hops; ++i) {
        const complex_f q = iterate(i + 1);
        const double q_modulus =
            0.5 * std::log(double(q.real()) * q.real() + double(q.imag()) * q.imag());
        const double q_argument = std::atan2(double(q.imag()), double(q.real()));
        double r_re = 0.0;
        double r_im = 0.0;
        // At an iterate 0 on either end the arc collapses onto 0: the first point keeps p
        // itself and every later one is 0, the limit of |p|^(1 - t) |q|^t.
        const bool degenerate =
            (p.real() == 0 && p.imag() == 0) || (q.real() == 0 && q.imag() == 0);
        if (!degenerate) {
            const double scale = std::exp((q_modulus - p_modulus) * h);
            const double turn = (q_argument - p_argument) * h;
            r_re = scale * std::cos(turn);
            r_im = scale * std::sin(turn);
        }
        complex_f* const slot = job.points + static_cast<std::int64_t>(i) * job.per_hop + 1;
        double w_re = p.real();
        double w_im = p.imag();
        for (std::int32_t j = 0; j < count; ++j) {
            slot[j] = complex_f(static_cast<float>(w_re), static_cast<float>(w_im));
            const double next_re = w_re * r_re - w_im * r_im;
            w_im = w_re * r_im + w_im * r_re;
            w_re = next_re;
        }
        p = q;
        p_modulus = q_modulus;
        p_argument = q_argument;
    }
}

} // namespace roses::arcs
