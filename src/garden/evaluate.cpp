#include "garden/evaluate.h"

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

bool evaluate(rose_shape& shape, complex_f c) {
    return walk_orbit(shape, c,
                      [](complex_f z, complex_f kappa, float h, complex_f* out, int count) {
                          for (int j = 0; j < count; ++j) {
                              const auto t = static_cast<float>(j * static_cast<double>(h));
                              out[j] = principal_power(z, hop_fraction_exponent(t, kappa));
                          }
                      });
}

} // namespace roses
