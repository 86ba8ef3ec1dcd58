// The 64-bit Arm build of the arc kernel: two doubles per Advanced SIMD register.
#include "garden/orbit_arcs_kernel.h"

namespace roses::arcs {

void draw_neon(const orbit_arcs_job& job) {
    draw_arcs<xsimd::neon64>(job);
}

} // namespace roses::arcs
