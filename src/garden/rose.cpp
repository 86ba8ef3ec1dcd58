#include "garden/rose.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "garden/evaluate.h"
#include "random/random.h"

namespace roses {
namespace {

constexpr std::int32_t initial_age = 3;
// The square of side 2.4 radii around the centre fills the client area.
constexpr double layout_margin = 1.2;
constexpr double fade_depth = 0.7;
constexpr double fade_floor = 0.3;
constexpr double fade_rate = 2.3;

std::size_t vertex_capacity(const rose_shape& shape) {
    return static_cast<std::size_t>(std::max(0, shape.points_per_hop)) *
           static_cast<std::size_t>(std::max(0, shape.max_hops));
}

} // namespace

strip_range shown_range(std::int32_t age, std::int32_t n) {
    strip_range range{0, n, 0};
    if (age < n) {
        range.first = n - age - 1;
    } else if (age < 2 * n) {
        range.offset = 2 * n - age;
    } else if (age < 3 * n) {
        range.offset = age - 2 * n;
    } else {
        range.first = age - 3 * n + 1;
    }
    range.count = n - range.first;
    return range;
}

strip_range without_clear_ends(strip_range range, std::span<const rgba> colours) {
    const auto clear = [&](std::int32_t k) {
        const auto at = static_cast<std::size_t>(range.offset + k);
        return at < colours.size() && colours[at][3] == 0;
    };
    std::int32_t begin = 0;
    std::int32_t end = std::max(range.count, 0);
    while (end - begin >= 2 && clear(begin) && clear(begin + 1)) {
        ++begin;
    }
    while (end - begin >= 2 && clear(end - 1) && clear(end - 2)) {
        --end;
    }
    if (end - begin < 2) {
        return {range.first, range.offset, 0};
    }
    return {range.first + begin, range.offset + begin, end - begin};
}

std::uint8_t fade_alpha(double x) {
    return static_cast<std::uint8_t>(
        static_cast<int>(255.0 * (fade_depth * std::exp(-fade_rate * x) + fade_floor)));
}

rose::rose(rose_shape* shape, std::int32_t slot, rgba colour, float width, float height)
    : shape(shape), slot(slot), count(shape->point_count), vertices(vertex_capacity(*shape)),
      colours(2 * vertex_capacity(*shape)), colour(colour), width(0.0f), height(0.0f),
      age(initial_age), previous_age(initial_age), relayout(false) {
    fill_colours();
    layout(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
}

void rose::fill_colours() {
    const std::int32_t n =
        std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(vertices.size()));
    // The fade covers the first ceil(n/2) entries of the second half; the rest of it is
    // written transparent black, so that nothing of a longer, earlier orbit survives a
    // commit that shortens the trail.
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t j = 2 * k;
        rgba& entry = colours[static_cast<std::size_t>(n + k)];
        if (j < n) {
            entry = {colour[0], colour[1], colour[2],
                     fade_alpha(static_cast<double>(j) / static_cast<double>(n))};
        } else {
            entry = {0, 0, 0, 0};
        }
    }
    for (std::int32_t k = 0; k < n; ++k) {
        colours[static_cast<std::size_t>(k)] = colours[static_cast<std::size_t>(2 * n - 1 - k)];
    }
}

void rose::layout(std::int32_t new_width, std::int32_t new_height) {
    const auto r = static_cast<float>(layout_margin * shape->radius);
    const auto left = static_cast<float>(static_cast<double>(shape->centre.real()) - r);
    const auto bottom = static_cast<float>(static_cast<double>(shape->centre.imag()) - r);
    width = static_cast<float>(new_width);
    height = static_cast<float>(new_height);
    if (new_width <= 0 || new_height <= 0) {
        return;
    }
    const double sx = new_width / (2.0 * r);
    const double sy = new_height / (2.0 * r);
    const std::int32_t n =
        std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(vertices.size()));
    for (std::int32_t i = 0; i < n; ++i) {
        const complex_f p = shape->points[static_cast<std::size_t>(i)];
        vertices[static_cast<std::size_t>(i)] = {
            static_cast<float>((static_cast<double>(p.real()) - left) * sx),
            static_cast<float>((static_cast<double>(p.imag()) - bottom) * sy),
            static_cast<float>(-static_cast<double>(i) * new_height / n)};
    }
    relayout = false;
}

strip_range rose::shown_strip() {
    return shown_strip(age);
}

strip_range rose::shown_strip(std::int32_t shown_age) {
    if (relayout) {
        fill_colours();
        layout(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    }
    return without_clear_ends(shown_range(shown_age, count), colours);
}

bool rose::wander() {
    const complex_f c0 = shape->c;
    const double n1 = normal01();
    const double n2 = normal01();
    acceleration = {static_cast<float>(acceleration.real() + wander_impulse * n1),
                    static_cast<float>(acceleration.imag() + wander_impulse * n2)};
    velocity = {std::clamp(velocity.real() + acceleration.real(), -max_wander_velocity,
                           max_wander_velocity),
                std::clamp(velocity.imag() + acceleration.imag(), -max_wander_velocity,
                           max_wander_velocity)};
    const auto moved = [&] {
        return complex_f{static_cast<float>(static_cast<double>(c0.real()) + velocity.real()),
                         static_cast<float>(static_cast<double>(c0.imag()) + velocity.imag())};
    };
    if (!evaluate(candidate, moved())) {
        return true;
    }
    velocity *= 0.5f;
    if (!evaluate(candidate, moved())) {
        return true;
    }
    acceleration = -acceleration;
    return false;
}

void rose::commit() {
    const std::int32_t new_count = candidate.point_count;
    const std::int32_t old_count = shape->point_count;
    // Keep the same fraction of the rose's life under the new number of points, and stay
    // below the retirement bound.
    const std::int64_t cap = 4 * static_cast<std::int64_t>(new_count) - 1;
    std::int64_t rescaled = cap;
    if (old_count > 0) {
        rescaled = static_cast<std::int64_t>(
            static_cast<double>(static_cast<std::int64_t>(age) * new_count) / old_count);
    }
    age = static_cast<std::int32_t>(std::min(cap, rescaled));
    *shape = candidate;
    count = new_count;
    relayout = true;
    std::fprintf(stderr, "angle:\t%g\n", static_cast<double>(shape->angle));
    std::fflush(stderr);
    std::fprintf(stderr, "radius:\t%g\n", static_cast<double>(shape->radius));
    std::fflush(stderr);
    std::fprintf(stderr, "hops:\t%d\n", static_cast<int>(shape->hops));
    std::fflush(stderr);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

} // namespace roses
