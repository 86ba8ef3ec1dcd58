// What a frame changes in its window: the box its roses cover, and which part of a buffer a
// frame must clear and a host present. On a software renderer every pixel cleared and
// presented costs the processor, and a rose rarely covers a tenth of the screen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

// What of box lies inside within.
pixel_box clip(const pixel_box& box, const pixel_box& within);
pixel_box box_of(const viewport_area& area);

// Which cells of a coarse grid over one scene's area a frame's lines reach. A grown rose's box
// covers most of its area while its lines cross a part of it: the cells they cross, merged
// into a few boxes, are what a frame must clear and a host present.
class damage_grid {
  public:
    damage_grid() = default;
    // Square cells of cell pixels from the area's bottom-left corner; those of the top row and
    // the right column are cut by the area's edges.
    damage_grid(const pixel_box& area, std::int32_t cell);

    // The cells that a strip of these vertices reaches when drawn through view and the
    // projection p into the area, with lines line_width pixels wide: every pixel within half
    // the width, a pixel for the rasteriser's rounding and the margin that multisampled edges
    // spread over, of each of its segments. A vertex behind the eye or not a number reaches
    // the whole area: its line could cross any of it.
    void add_strip(std::span<const vertex> vertices, const look_at& view, const projection& p,
                   float line_width);
    void add_all();
    void add_box(const pixel_box& box);
    // What either reaches; other has the same area and cells.
    void add(const damage_grid& other);

    bool empty() const;
    const pixel_box& area() const { return area_; }
    // How many pixels the cells reached hold.
    std::int64_t pixels() const;
    // At most most boxes, apart from each other, that hold every cell reached: each row's runs
    // of cells, with the runs of the rows above that match them. Where there are more, the
    // same from cells twice as large, and so on: a few more pixels for fewer boxes.
    std::vector<pixel_box> boxes(std::size_t most) const;
    // Of the boxes that cells of each size give, at most most of them, those that cost the
    // least to present where each box costs as much as box_pixels more pixels; or the one box
    // around them, where that costs less.
    std::vector<pixel_box> cheapest_boxes(std::size_t most, std::int64_t box_pixels) const;

  private:
    // The boxes that hold the cells reached, from cells of merged x merged of the grid's own.
    std::vector<pixel_box> boxes_of_cells(std::int32_t merged) const;
    bool one_cell_at(std::int32_t merged) const;
    void mark(double left, double bottom, double right, double top);
    void mark_segment(double x0, double y0, double x1, double y1, double half);

    pixel_box area_;
    std::int32_t cell = 1;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<std::uint8_t> reached;
};

// Which cells of one scene's area the last frames drew into, to tell a frame what it must
// clear in a buffer that shows an earlier frame, and a host what to present.
class frame_damage {
  public:
    // Buffers older than this many frames are cleared whole.
    static constexpr int most_age = 4;
    // The grid's cells, in pixels, and the most boxes that a frame presents: each box is a
    // copy of its own, so a few more pixels cost less than many boxes.
    static constexpr std::int32_t cell = 32;
    static constexpr std::size_t most_boxes = 16;
    // What a presented box costs, in pixels presented. On llvmpipe under Xvfb a copy costs
    // about 23 us of our processor and as much of the server's, and a pixel about 0.4 ns of
    // each: a box is worth some 60,000 pixels, so a few larger boxes cost less than many
    // that fit the lines.
    static constexpr std::int64_t presented_box_pixels = 65536;
    // The most boxes that a frame clears: they are cleared together, as one draw of black
    // triangles, so each costs little more than its pixels.
    static constexpr std::size_t most_cleared_boxes = 256;

    // The area's whole picture must be drawn again: the next frame clears and presents all.
    void invalidate() { known = 0; }

    // A frame is about to draw what drawn reaches into a buffer that holds the frame of age
    // frames ago (age 0 when nothing is known of the buffer). Returns what it must clear: the
    // cells drawn reaches and those that the frames since that one reached, or the whole area
    // where that is unknown or most of it anyway.
    const std::vector<pixel_box>& clear_for(const damage_grid& drawn, int age);
    // After clear_for: what the frame changed against the frame before it, which is what a
    // host presents; the whole area after invalidate.
    const std::vector<pixel_box>& changed() const { return last_changed; }

  private:
    // At most most boxes that hold what grid reaches, or the whole area where that is most
    // of it; the cheapest to present where a box costs box_pixels, unless that is 0.
    static std::vector<pixel_box> boxes_of(const damage_grid& grid, std::size_t most,
                                           std::int64_t box_pixels);

    // What the last frames reached, the last first.
    std::array<damage_grid, most_age> drawn_before{};
    int known = 0;
    std::vector<pixel_box> last_clear;
    std::vector<pixel_box> last_changed;
};

} // namespace roses
