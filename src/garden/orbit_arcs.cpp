#include "garden/orbit_arcs.h"

#include "garden/orbit_math.h"

namespace roses {
namespace {

using arcs_kernel = void (*)(const arcs::orbit_arcs_job&);

arcs_kernel pick_kernel() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // These checks include the operating system's support for the wide registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return arcs::draw_avx2;
    }
#endif
    return arcs::draw_sse2;
}

} // namespace

void draw_orbit_arcs(rose_shape& shape) {
    static const arcs_kernel kernel = pick_kernel();
    if (shape.hops <= 0 || shape.points_per_hop <= 1) {
        return;
    }
    const complex_f last =
        shape.points[static_cast<std::int64_t>(shape.hops - 1) * shape.points_per_hop];
    kernel({shape.points.data(), shape.hops, shape.points_per_hop, square_plus_c(last, shape.c)});
}

} // namespace roses
