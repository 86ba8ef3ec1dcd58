#include "garden/orbit_arcs.h"

#include "garden/orbit_math.h"

namespace roses {
namespace arcs {

// The builds of the kernel. Which of them exist is decided by the build for the processor
// family it targets (ROSES_ARCS_X86_64, ROSES_ARCS_NEON or ROSES_ARCS_WASM); the scalar one
// always does.
void draw_scalar(const orbit_arcs_job& job);
#if defined(ROSES_ARCS_X86_64) || defined(ROSES_ARCS_WASM)
void draw_sse2(const orbit_arcs_job& job);
#endif
#ifdef ROSES_ARCS_X86_64
void draw_avx2(const orbit_arcs_job& job);
#endif
#ifdef ROSES_ARCS_NEON
void draw_neon(const orbit_arcs_job& job);
#endif

std::vector<named_kernel> available_kernels() {
    std::vector<named_kernel> kernels{{"scalar", draw_scalar}};
#ifdef ROSES_ARCS_X86_64
    // SSE2 is part of every x86-64 processor; the checks for AVX2 and FMA include the
    // operating system's support for the wide registers.
    kernels.push_back({"sse2", draw_sse2});
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        kernels.push_back({"avx2", draw_avx2});
    }
#endif
#ifdef ROSES_ARCS_WASM
    // The page is built with WebAssembly's vectors, which every browser that runs it has.
    kernels.push_back({"sse2", draw_sse2});
#endif
#ifdef ROSES_ARCS_NEON
    // Advanced SIMD with doubles is part of every 64-bit Arm processor.
    kernels.push_back({"neon", draw_neon});
#endif
    return kernels;
}

} // namespace arcs

void draw_orbit_arcs(rose_shape& shape) {
    static const arcs::kernel kernel = arcs::available_kernels().back().draw;
    if (shape.hops <= 0 || shape.points_per_hop <= 1) {
        return;
    }
    const complex_f last =
        shape.points[static_cast<std::int64_t>(shape.hops - 1) * shape.points_per_hop];
    kernel({shape.points.data(), shape.hops, shape.points_per_hop, square_plus_c(last, shape.c)});
}

} // namespace roses
