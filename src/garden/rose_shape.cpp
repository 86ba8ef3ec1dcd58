#include "garden/rose_shape.h"

#include <algorithm>

namespace roses {

rose_shape::rose_shape()
    : points(static_cast<std::size_t>(default_points_per_hop) * default_max_hops) {}

rose_shape& rose_shape::operator=(const rose_shape& other) {
    if (this == &other) {
        return *this;
    }
    c = other.c;
    hops = other.hops;
    point_count = other.point_count;
    centre = other.centre;
    angle = other.angle;
    radius = other.radius;
    const std::int64_t wanted = std::max<std::int64_t>(
        0, static_cast<std::int64_t>(points_per_hop) * static_cast<std::int64_t>(max_hops));
    const auto copied = static_cast<std::size_t>(
        std::min<std::int64_t>({wanted, static_cast<std::int64_t>(points.size()),
                                static_cast<std::int64_t>(other.points.size())}));
    std::copy_n(other.points.begin(), copied, points.begin());
    return *this;
}

bool rose_shape::holds_invariant() const {
    if (points_per_hop < 1) {
        return false;
    }
    const std::int64_t needed =
        static_cast<std::int64_t>(points_per_hop) * static_cast<std::int64_t>(max_hops);
    return needed <= static_cast<std::int64_t>(points.size());
}

} // namespace roses
