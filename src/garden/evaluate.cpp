#include "garden/evaluate.h"

#include "garden/orbit_arcs.h"
#include "garden/orbit_walk.h"

namespace roses {
namespace {

constexpr double search_span = 4.0;
constexpr double search_low = -2.0;

} // namespace

complex_f search_candidate(double d1, double d2) {
    return {static_cast<float>(search_span * d2 + search_low),
            static_cast<float>(search_span * d1 + search_low)};
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
