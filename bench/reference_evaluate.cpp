#include "reference_evaluate.h"

#include <complex>

#include "garden/orbit_walk.h"

namespace roses {

bool reference_evaluate(rose_shape& shape, complex_f c) {
    return walk_orbit(shape, c,
                      [](complex_f z, complex_f kappa, float h, complex_f* out, int count) {
                          for (int j = 0; j < count; ++j) {
                              const complex_f t{static_cast<float>(j) * h, 0.0f};
                              out[j] = std::pow(z, complex_f(1.0f, 0.0f) + t * kappa);
                          }
                      });
}

} // namespace roses
