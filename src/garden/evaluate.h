// Judging one candidate parameter c of z -> z^2 + c and recording its orbit.
#pragma once

#include "garden/rose_shape.h"

namespace roses {

// Orbit bounds and the final tests of a candidate.
inline constexpr double escape_radius = 5.0;
inline constexpr double convergence_step = 0.001;
inline constexpr int centre_start = 32;
inline constexpr int min_converged_hops = 64;
inline constexpr double min_radius = 0.1;
inline constexpr double max_radius = 0.35;
inline constexpr double min_angle = 0.8975979010256552; // 2 pi / 7
inline constexpr double max_end_distance = 0.05;

// kappa(p) = Log(p^2 + c) / Log(p) - 1: p^(1 + t kappa) runs from p (t = 0) to p^2 + c
// (t = 1) along a logarithmic spiral.
complex_f hop_exponent(complex_f p, complex_f c);

// Walks one evaluation along the orbit, each iterate with its hop exponent: the literal
// form of a pass. evaluate itself needs neither (see orbit_walk.h and orbit_arcs.h); the
// literal reference evaluation that it is measured and tested against walks with this.
struct orbit_cursor {
    complex_f current;
    complex_f c;
    complex_f next;
    complex_f exponent;
    complex_f next_exponent;

    explicit orbit_cursor(complex_f start);
    void advance();
    void hop();
};

// Evaluates the orbit of c into shape; true means the candidate is rejected. A shape
// without room for its points is rejected with nothing written.
bool evaluate(rose_shape& shape, complex_f c);

} // namespace roses
