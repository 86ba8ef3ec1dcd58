// A rose's life on an accepted shape, driven by the input: frames that age it, ticks that
// let it wander and commit, and new client sizes. Before every frame that would be drawn,
// the vertex and colour ranges the draw would hand to GL must lie inside the trail and its
// colours, and every vertex shown must be finite. No GL is needed: the ranges are checked,
// not drawn.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "garden/evaluate.h"
#include "garden/rose.h"
#include "input_reader.h"
#include "random/random.h"

namespace {

using roses::complex_f;
using roses::rose;
using roses::rose_shape;

// The fuzz input with the client sizes a rose is laid out for.
struct input_reader : roses::fuzz_input {
    // Client sizes from -32768 to 32767: zero and negative ones included.
    std::int32_t take_side() { return static_cast<std::int16_t>(take(2)); }
};

// The garden's frame: three trail points of age, retired at four per point.
constexpr std::int32_t age_per_frame = 3;
constexpr std::int32_t lifetime_per_point = 4;
// Each wander evaluates up to two orbits; a bound keeps one input quick.
constexpr int max_ticks = 24;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void check_arrays(const rose& r) {
    check(r.count == r.shape->point_count);
    check(r.count > 0 && static_cast<std::size_t>(r.count) <= r.vertices.size());
    check(r.colours.size() == 2 * r.vertices.size());
    check(r.age >= 0);
}

// What a frame's draw does before its GL calls: rebuild after a commit, then pick the range.
roses::strip_range prepare_draw(rose& r) {
    if (r.relayout) {
        r.fill_colours();
        r.layout(static_cast<std::int32_t>(r.width), static_cast<std::int32_t>(r.height));
    }
    const roses::strip_range range = roses::shown_range(r.age, r.count);
    if (range.count >= 2) {
        check(range.first >= 0 && range.first + range.count <= r.count);
        check(range.offset >= 0 && range.offset + range.count <= 2 * r.count);
    }
    return range;
}

void check_shown_vertices(rose& r) {
    const roses::strip_range range = prepare_draw(r);
    for (std::int32_t k = 0; k < range.count; ++k) {
        const roses::vertex& v = r.vertices[static_cast<std::size_t>(range.first + k)];
        check(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    input_reader in{{data, size}};
    rose_shape shape;
    const complex_f c(in.take_float(), in.take_float());
    // The centre a slot's shape carries over from its previous candidate.
    shape.centre = complex_f(in.take_float(), in.take_float());
    if (roses::evaluate(shape, c)) {
        return 0;
    }
    roses::reseed_random(in.take(4));
    const std::uint32_t colour = in.take(4);
    const roses::rgba base{static_cast<std::uint8_t>(colour >> 24),
                           static_cast<std::uint8_t>(colour >> 16),
                           static_cast<std::uint8_t>(colour >> 8), 255};
    const std::int32_t width = in.take_side();
    const std::int32_t height = in.take_side();
    rose r(&shape, 0, base, static_cast<float>(width), static_cast<float>(height));
    check_arrays(r);
    check_shown_vertices(r);

    int ticks = 0;
    while (!in.done()) {
        switch (in.take(1) % 3) {
        case 0: {
            // A run of frames without a tick in between, as when the worker is busy searching.
            const std::uint32_t frames = in.take(1) + 1;
            for (std::uint32_t f = 0; f < frames; ++f) {
                r.age += age_per_frame;
                if (r.age >= lifetime_per_point * r.count) {
                    return 0; // retired
                }
                prepare_draw(r);
            }
            break;
        }
        case 1:
            if (ticks++ < max_ticks && r.wander()) {
                r.commit();
            }
            break;
        default: {
            const std::int32_t new_width = in.take_side();
            r.layout(new_width, in.take_side());
            break;
        }
        }
        check_arrays(r);
        check_shown_vertices(r);
    }
    return 0;
}
