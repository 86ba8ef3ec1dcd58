// The arc kernel, compiled once per instruction set. Everything here is internal to the
// translation unit that includes it, so that no function built for a wider instruction set
// can stand in for its baseline copy at link time.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
// xsimd's large-argument reduction for sin and cos, inlined into the kernel, trips GCC's
// flow analysis in sanitizer builds; the kernel never takes that path (its angles are below
// one turn).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <xsimd/xsimd.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "garden/orbit_arcs.h"

namespace roses::arcs {
namespace {

// Passes per block: the logarithms of a block's iterates live on the stack, so an
// evaluation allocates nothing whatever its length.
constexpr std::int32_t block_passes = 256;

// Rounds one point of each lane's hop to floats and writes it to that hop's slot: lane l
// goes to slot[l * stride]. On x86 the rounding and interleaving stay in registers.
template <class Batch>
inline void store_lanes(const Batch& re, const Batch& im, complex_f* slot, std::int64_t stride) {
#if defined(__AVX2__)
    if constexpr (Batch::size == 4) {
        const __m128 re_f = _mm256_cvtpd_ps(re);
        const __m128 im_f = _mm256_cvtpd_ps(im);
        const __m128 low = _mm_unpacklo_ps(re_f, im_f);
        const __m128 high = _mm_unpackhi_ps(re_f, im_f);
        _mm_storel_pi(reinterpret_cast<__m64*>(slot), low);
        _mm_storeh_pi(reinterpret_cast<__m64*>(slot + stride), low);
        _mm_storel_pi(reinterpret_cast<__m64*>(slot + 2 * stride), high);
        _mm_storeh_pi(reinterpret_cast<__m64*>(slot + 3 * stride), high);
        return;
    }
#endif
#if defined(__SSE2__)
    if constexpr (Batch::size == 2) {
        const __m128 pair = _mm_unpacklo_ps(_mm_cvtpd_ps(re), _mm_cvtpd_ps(im));
        _mm_storel_pi(reinterpret_cast<__m64*>(slot), pair);
        _mm_storeh_pi(reinterpret_cast<__m64*>(slot + stride), pair);
        return;
    }
#endif
    alignas(64) double lane_re[Batch::size];
    alignas(64) double lane_im[Batch::size];
    re.store_aligned(lane_re);
    im.store_aligned(lane_im);
    for (std::size_t l = 0; l < Batch::size; ++l) {
        slot[static_cast<std::int64_t>(l) * stride] =
            complex_f(static_cast<float>(lane_re[l]), static_cast<float>(lane_im[l]));
    }
}

template <class Arch> void draw_arcs(const orbit_arcs_job& job) {
    using batch = xsimd::batch<double, Arch>;
    constexpr std::int32_t lanes = static_cast<std::int32_t>(batch::size);
    constexpr std::int32_t room = block_passes + 2 * lanes;

    const std::int32_t count = job.per_hop - 1;
    if (count <= 0 || job.hops <= 0) {
        return;
    }
    // The same fraction step as the exponent form of the arc: 1 / points_per_hop as a float.
    const batch h(static_cast<double>(static_cast<float>(1.0 / job.per_hop)));
    const batch zero(0.0);
    const batch half(0.5);

    alignas(64) double x[room];
    alignas(64) double y[room];
    alignas(64) double log_modulus[room];
    alignas(64) double log_argument[room];
    alignas(64) double out_re[lanes];
    alignas(64) double out_im[lanes];

    for (std::int32_t first = 0; first < job.hops; first += block_passes) {
        const std::int32_t left = job.hops - first;
        const std::int32_t passes = left < block_passes ? left : block_passes;
        // The block's iterates and the one after its last hop, then padding as far as the
        // vector loads below reach: 1, whose logarithm is harmless.
        for (std::int32_t k = 0; k <= passes; ++k) {
            const std::int64_t i = static_cast<std::int64_t>(first) + k;
            const complex_f z = i < job.hops ? job.points[i * job.per_hop] : job.q_last;
            x[k] = z.real();
            y[k] = z.imag();
        }
        for (std::int32_t k = passes + 1; k < passes + 2 * lanes; ++k) {
            x[k] = 1.0;
            y[k] = 0.0;
        }
        // Up to the last lane that the hop loop below reads, padding included.
        for (std::int32_t k = 0; k < passes + lanes; k += lanes) {
            const batch bx = batch::load_aligned(x + k);
            const batch by = batch::load_aligned(y + k);
            (half * xsimd::log(bx * bx + by * by)).store_aligned(log_modulus + k);
            xsimd::atan2(by, bx).store_aligned(log_argument + k);
        }
        for (std::int32_t k = 0; k < passes; k += lanes) {
            const batch px = batch::load_aligned(x + k);
            const batch py = batch::load_aligned(y + k);
            const batch qx = batch::load_unaligned(x + k + 1);
            const batch qy = batch::load_unaligned(y + k + 1);
            const batch step_modulus = (batch::load_unaligned(log_modulus + k + 1) -
                                        batch::load_aligned(log_modulus + k)) *
                                       h;
            const batch step_argument = (batch::load_unaligned(log_argument + k + 1) -
                                         batch::load_aligned(log_argument + k)) *
                                        h;
            const auto sin_cos = xsimd::sincos(step_argument);
            // exp turns its argument into an integer exponent, which has no value for an
            // infinite or NaN lane (an iterate 0 or infinite, an orbit gone NaN): such a
            // lane takes exp's limit instead, 0 at -inf and the lane itself otherwise.
            const auto finite = xsimd::isfinite(step_modulus);
            const batch scale =
                xsimd::select(finite, xsimd::exp(xsimd::select(finite, step_modulus, zero)),
                              xsimd::select(step_modulus < zero, zero, step_modulus));
            // At an iterate 0 on either end the arc collapses onto 0: the first point keeps
            // p itself and every later one is 0, the limit of |p|^(1 - t) |q|^t.
            const auto degenerate = (px == zero && py == zero) || (qx == zero && qy == zero);
            const batch r_re = xsimd::select(degenerate, zero, scale * sin_cos.second);
            const batch r_im = xsimd::select(degenerate, zero, scale * sin_cos.first);

            const std::int32_t used = passes - k < lanes ? passes - k : lanes;
            complex_f* const slot =
                job.points + (static_cast<std::int64_t>(first) + k) * job.per_hop + 1;
            batch w_re = px;
            batch w_im = py;
            for (std::int32_t j = 0; j < count; ++j) {
                if (used == lanes) {
                    store_lanes(w_re, w_im, slot + j, job.per_hop);
                } else {
                    w_re.store_aligned(out_re);
                    w_im.store_aligned(out_im);
                    for (std::int32_t l = 0; l < used; ++l) {
                        slot[static_cast<std::int64_t>(l) * job.per_hop + j] =
                            complex_f(static_cast<float>(out_re[l]), static_cast<float>(out_im[l]));
                    }
                }
                const batch next_re = w_re * r_re - w_im * r_im;
                w_im = w_re * r_im + w_im * r_re;
                w_re = next_re;
            }
        }
    }
}

} // namespace
} // namespace roses::arcs
