// The baseline build of the arc kernel: SSE2 is present on every x86-64 processor.
#include "garden/orbit_arcs_kernel.h"

namespace roses::arcs {

void draw_sse2(const orbit_arcs_job& job) {
    draw_arcs<xsimd::sse2>(job);
}

} // namespace roses::arcs
