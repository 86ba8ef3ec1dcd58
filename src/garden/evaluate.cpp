#include "garden/evaluate.h"

#include "garden/orbit_arcs.h"
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

// The walk decides and writes the iterates; the arcs between them are drawn afterwards in
// one vectorised sweep over the whole orbit, rejected or not, since callers may read the
// points of a rejected candidate too.
bool evaluate(rose_shape& shape, complex_f c) {
    if (!shape.holds_invariant()) {
        return true;
    }
    const bool rejected = walk_orbit(shape, c);
    draw_orbit_arcs(shape);
    return rejected;
}

} // namespace roses
