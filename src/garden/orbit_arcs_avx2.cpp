// The wide build of the arc kernel, compiled for AVX2 with FMA and chosen at run time.
#include "garden/orbit_arcs_kernel.h"

namespace roses::arcs {

void draw_avx2(const orbit_arcs_job& job) {
    draw_arcs<xsimd::fma3<xsimd::avx2>>(job);
}

} // namespace roses::arcs
