// One candidate parameter's evaluated orbit of z -> z^2 + c.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace roses {

using complex_f = std::complex<float>;

struct rose_shape {
    static constexpr std::int32_t default_points_per_hop = 9;
    static constexpr std::int32_t default_max_hops = 1024;

    complex_f c{0.0f, 0.0f};
    std::int32_t points_per_hop = default_points_per_hop;
    std::int32_t max_hops = default_max_hops;
    std::int32_t hops = 0;
    std::int32_t point_count = 0;
    // Sized once to points_per_hop * max_hops and never resized, so that a pointer to a
    // shape's points stays valid and an evaluation allocates nothing.
    std::vector<complex_f> points;
    complex_f centre{0.0f, 0.0f};
    // Every evaluation sets both before reading them.
    float angle = 0.0f;
    float radius = 0.0f;

    rose_shape();
    rose_shape(const rose_shape&) = delete;
    // Copies the orbit into this shape's own array; the destination keeps its sizes.
    rose_shape& operator=(const rose_shape& other);

    // Room for points_per_hop * max_hops points and at least one point per hop.
    bool holds_invariant() const;
};

} // namespace roses
