// What a frame changes in its window: the box its roses cover, and which part of a buffer a
// frame must clear and a host present. On a software renderer every pixel cleared and
// presented costs the processor, and a rose rarely covers a tenth of the screen.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "display/camera_gl.h"
#include "garden/rose.h"
#include "scene/frame.h"

namespace roses {

// A box of window pixels in GL's window coordinates: x to the right and y up from the
// window's bottom-left corner, left and bottom inside, right and top outside.
struct pixel_box {
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;

    bool empty() const { return left >= right || bottom >= top; }
    std::int64_t area() const { return empty() ? 0 : std::int64_t{right - left} * (top - bottom); }
    friend bool operator==(const pixel_box&, const pixel_box&) = default;
};

// The smallest box that holds both; an empty one adds nothing.
pixel_box unite(const pixel_box& a, const pixel_box& b);
// What of box lies inside within.
pixel_box clip(const pixel_box& box, const pixel_box& within);
pixel_box box_of(const viewport_area& area);

// The pixels that a strip of these vertices covers when drawn through view and the
// projection p into area, with lines line_width pixels wide: the box of the projected
// vertices, padded by half the width, a pixel for the rasteriser's rounding and the margin
// that multisampled edges spread over, clipped to the area. A vertex behind the eye or not a
// number gives the whole area: its line could cross any of it.
pixel_box strip_box(std::span<const vertex> vertices, const look_at& view, const projection& p,
                    const viewport_area& area, float line_width);

// Which boxes of one scene's area the last frames drew into, to tell a frame what it must
// clear in a buffer that shows an earlier frame, and a host what to present.
class frame_damage {
  public:
    // Buffers older than this many frames are cleared whole.
    static constexpr int most_age = 4;

    // The area's whole picture must be drawn again: the next frame clears and presents all.
    void invalidate() { known = 0; }

    // A frame is about to draw the box drawn into a buffer that holds the frame of age frames
    // ago (age 0 when nothing is known of the buffer). Returns what it must clear: drawn and
    // what the frames since that one drew, or the whole area where that is unknown or most of
    // it anyway.
    pixel_box clear_for(const pixel_box& drawn, int age, const pixel_box& area);
    // After clear_for: what the frame changed against the frame before it, which is what a
    // host presents; the whole area after invalidate.
    const pixel_box& changed() const { return last_changed; }

  private:
    // What the last frames drew, the last first.
    std::array<pixel_box, most_age> drawn_before{};
    int known = 0;
    pixel_box last_changed;
};

} // namespace roses
