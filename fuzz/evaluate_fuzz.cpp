// The fast evaluation against the literal reference, on any c (every float bit pattern),
// any carried centre and small shapes of every size, including shapes whose array is too
// small for them: both must reach the same verdict, hops and point_count, an accepted orbit
// must be finite, and nothing may be written beyond the points the evaluation reports.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "garden/evaluate.h"
#include "input_reader.h"
#include "reference_evaluate.h"

namespace {

using roses::complex_f;
using roses::rose_shape;

// A point no evaluation writes: a NaN with a payload of its own.
constexpr std::uint32_t untouched_bits = 0x7fc0dead;

bool untouched(complex_f point) {
    std::uint32_t re;
    std::uint32_t im;
    std::memcpy(&re, &point, sizeof re);
    std::memcpy(&im, reinterpret_cast<const char*>(&point) + sizeof re, sizeof im);
    return re == untouched_bits && im == untouched_bits;
}

// A shape with exactly `size` points, so that AddressSanitizer catches a write past them.
void prepare(rose_shape& shape, std::int32_t per_hop, std::int32_t max_hops, std::size_t size,
             complex_f centre) {
    float marker;
    std::memcpy(&marker, &untouched_bits, sizeof marker);
    shape.points_per_hop = per_hop;
    shape.max_hops = max_hops;
    shape.points = std::vector<complex_f>(size, complex_f(marker, marker));
    shape.centre = centre;
}

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    roses::fuzz_input in{data, size};
    const complex_f c(in.take_float(), in.take_float());
    const complex_f centre(in.take_float(), in.take_float());
    const auto per_hop = static_cast<std::int32_t>(in.take(1) % 14) - 1;    // -1 ... 12
    const auto max_hops = static_cast<std::int32_t>(in.take(2) % 1027) - 2; // -2 ... 1024
    const std::uint32_t shortfall = in.take(1) % 4; // points missing from the array
    const std::int64_t needed = std::max<std::int64_t>(0, std::int64_t{per_hop} * max_hops);
    const auto points = static_cast<std::size_t>(std::max<std::int64_t>(0, needed - shortfall));

    static rose_shape fast;
    static rose_shape literal;
    prepare(fast, per_hop, max_hops, points, centre);
    prepare(literal, per_hop, max_hops, points, centre);
    const bool fast_rejects = roses::evaluate(fast, c);
    const bool literal_rejects = roses::reference_evaluate(literal, c);

    if (!fast.holds_invariant()) {
        // Rejected with nothing written.
        check(fast_rejects && literal_rejects);
        for (const complex_f& point : fast.points) {
            check(untouched(point));
        }
        return 0;
    }
    check(fast_rejects == literal_rejects);
    check(fast.hops == literal.hops);
    check(fast.point_count == literal.point_count);
    check(fast.point_count >= 0 && static_cast<std::size_t>(fast.point_count) <= points);
    for (std::size_t k = 0; k < points; ++k) {
        const complex_f point = fast.points[k];
        if (k >= static_cast<std::size_t>(fast.point_count)) {
            check(untouched(point));
        } else if (!fast_rejects) {
            check(std::isfinite(point.real()) && std::isfinite(point.imag()));
        }
    }
    return 0;
}
