// One visible trail: the drawable form of a garden slot's orbit shape, which grows, is
// swept by a bright spot, shrinks away and, while it lives, morphs by small random steps
// of its parameter c.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "garden/rose_shape.h"

namespace roses {

// Four bytes in memory order R, G, B, A.
using rgba = std::array<std::uint8_t, 4>;

struct vertex {
    float x;
    float y;
    float z;
};

// The part of the strip a frame shows: vertices first ... first + count - 1, vertex
// first + k coloured with colour entry offset + k.
struct strip_range {
    std::int32_t first;
    std::int32_t offset;
    std::int32_t count;
};

// Which part of an n-point trail is shown at an age: grow, sweep, return and shrink.
strip_range shown_range(std::int32_t age, std::int32_t n);

// The same range without the segments at either end whose two vertices are both
// transparent: such a segment leaves every pixel as it was, as the opacity between its ends
// is 0 too, yet the rasteriser would still cover and blend its pixels, and a frame would
// clear and present the cells it crosses. Up to half of a grown rose's trail is such. A count below
// 2 draws nothing.
strip_range without_clear_ends(strip_range range, std::span<const rgba> colours);

// Opacity at fade position x in [0, 1): 255 at the bright spot, falling toward about 94.
std::uint8_t fade_alpha(double x);

inline constexpr float max_wander_velocity = 0.0003f;
inline constexpr double wander_impulse = 0.00001;

class rose {
  public:
    rose_shape* shape;
    std::int32_t slot;
    // Always the shape's point_count, called n.
    std::int32_t count;
    // Sized once for the longest orbit; only the first n are used.
    std::vector<vertex> vertices;
    // Twice the vertex capacity: the bright spot moves by shifting the colour start.
    std::vector<rgba> colours;
    rgba colour;
    float width;
    float height;
    // Lifetime in trail points: the garden retires the rose when it reaches 4n.
    std::int32_t age;
    // The age at the step before the last one (the age it was planted with until its first
    // step): frames between two steps show the ages between the two.
    std::int32_t previous_age;
    // Set by commit: colours and vertices are rebuilt before the next draw.
    bool relayout;
    rose_shape candidate;
    complex_f velocity{0.0f, 0.0f};
    complex_f acceleration{0.0f, 0.0f};

    rose(rose_shape* shape, std::int32_t slot, rgba colour, float width, float height);
    rose(const rose&) = delete;
    rose& operator=(const rose&) = delete;

    void fill_colours();
    void layout(std::int32_t width, std::int32_t height);
    // Brings colours and vertices up to date after a commit and returns the part of the
    // strip that this frame shows, without its transparent ends; the drawing code calls it
    // before it reads the arrays.
    strip_range shown_strip();
    // The same for a frame that shows the rose at another age than its own.
    strip_range shown_strip(std::int32_t shown_age);
    // One random step of c; true when the moved orbit was accepted into candidate.
    bool wander();
    // Adopts candidate into the slot's shape and reports it on standard error.
    void commit();
};

} // namespace roses
