// The interpolated points of an evaluated orbit: along the hop from each iterate p to the
// next iterate q, the points exp((1 - t) Log p + t Log q) for t = j h, j = 0 ..
// points_per_hop - 2. They are p r^j with r = exp((Log q - Log p) h): one logarithm per
// iterate, one exponential per hop and a few products per point.
#pragma once

#include <cstdint>
#include <vector>

#include "garden/rose_shape.h"

namespace roses {

// Fills the points between the iterates that an evaluation wrote at the start of each hop
// (shape.points[i * points_per_hop] for i < hops, and the orbit parameter shape.c).
// Where an iterate is exactly 0 the arc's limit is drawn: the points collapse onto 0.
void draw_orbit_arcs(rose_shape& shape);

namespace arcs {

// The arguments of one orbit's arc drawing. q_last is the iterate after the last hop, which
// the walk computes but never writes.
struct orbit_arcs_job {
    complex_f* points;
    std::int32_t hops;
    std::int32_t per_hop;
    complex_f q_last;
};

using kernel = void (*)(const orbit_arcs_job&);

struct named_kernel {
    const char* name; // "scalar", "sse2", "avx2" or "neon"
    kernel draw;
};

// Every build of the kernel that this processor and operating system can run, from the plain
// scalar one to the widest, which draw_orbit_arcs uses. Tests and benchmarks compare them.
std::vector<named_kernel> available_kernels();

} // namespace arcs
} // namespace roses
