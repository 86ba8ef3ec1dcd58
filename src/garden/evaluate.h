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

// The candidate that two uniform draws in [0, 1) stand for: c is drawn from [-2, 2)^2, the
// second draw giving the real part and the first the imaginary part.
complex_f search_candidate(double d1, double d2);

// Evaluates the orbit of c into shape; true means the candidate is rejected. A shape
// without room for its points is rejected with nothing written.
bool evaluate(rose_shape& shape, complex_f c);

} // namespace roses
