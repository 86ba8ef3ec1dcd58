#include "scene/frame_damage.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "display/line_width.h"

namespace roses {
namespace {

// Past this share of the area, a frame clears and presents all of it: a box is no cheaper
// then, and a whole frame needs no bookkeeping.
constexpr double most_of_area = 0.5;
constexpr double radians_per_degree = 3.141592653589793 / 180.0;

struct vector3 {
    double x;
    double y;
    double z;
};

vector3 minus(const double* a, const double* b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

vector3 cross(const vector3& a, const vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(const vector3& a, const vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

vector3 normalised(const vector3& v) {
    const double length = std::sqrt(dot(v, v));
    return length > 0.0 ? vector3{v.x / length, v.y / length, v.z / length} : v;
}

} // namespace

pixel_box clip(const pixel_box& box, const pixel_box& within) {
    const pixel_box inside{std::max(box.left, within.left), std::max(box.bottom, within.bottom),
                           std::min(box.right, within.right), std::min(box.top, within.top)};
    return inside.empty() ? pixel_box{} : inside;
}

pixel_box box_of(const viewport_area& area) {
    return {area.x, area.y, area.x + area.width, area.y + area.height};
}

namespace {

// Where vertices land in an area's window pixels, through the view and the perspective as
// gluLookAt and gluPerspective make them.
class window_projection {
  public:
    window_projection(const look_at& view, const projection& p, const viewport_area& area)
        : eye{view.eye[0], view.eye[1], view.eye[2]},
          forward(normalised(minus(view.centre, view.eye))),
          side(normalised(cross(forward, {view.up[0], view.up[1], view.up[2]}))),
          up(cross(side, forward)), focal(1.0 / std::tan(p.fovy * radians_per_degree / 2.0)),
          aspect(p.aspect), area(area) {}

    // False for a vertex behind the eye, or one whose place is not a number.
    bool place(const vertex& v, double& x, double& y) const {
        const vector3 from_eye{v.x - eye.x, v.y - eye.y, v.z - eye.z};
        // Clip w is the distance in front of the eye.
        const double w = dot(from_eye, forward);
        const double ndc_x = focal / aspect * dot(from_eye, side) / w;
        const double ndc_y = focal * dot(from_eye, up) / w;
        if (!(w > 0.0) || !std::isfinite(ndc_x) || !std::isfinite(ndc_y)) {
            return false;
        }
        x = area.x + (ndc_x + 1.0) * area.width / 2.0;
        y = area.y + (ndc_y + 1.0) * area.height / 2.0;
        return true;
    }

  private:
    vector3 eye;
    vector3 forward;
    vector3 side;
    vector3 up;
    double focal;
    double aspect;
    viewport_area area;
};

// How far past a segment its pixels reach. Smoothed edges reach further than aliased ones:
// this allows for them whether or not the frame is multisampled, which costs a pixel or two
// of clearing.
double reach(float line_width) {
    return line_width / 2.0 + 1.0 + smoothed_edge_margin(line_width);
}

// The pixels a box of window coordinates touches. Far outside the area a strip still covers
// no more than all of it.
pixel_box pixels_of(double left, double bottom, double right, double top) {
    const auto pixel = [](double at) {
        return static_cast<std::int32_t>(std::clamp(at, -1e9, 1e9));
    };
    return {pixel(std::floor(left)), pixel(std::floor(bottom)), pixel(std::ceil(right)),
            pixel(std::ceil(top))};
}

viewport_area area_of(const pixel_box& box) {
    return {box.left, box.bottom, box.right - box.left, box.top - box.bottom};
}

} // namespace

damage_grid::damage_grid(const pixel_box& area, std::int32_t cell)
    : area_(area), cell(std::max(cell, 1)) {
    if (!area.empty()) {
        columns = (area.right - area.left + this->cell - 1) / this->cell;
        rows = (area.top - area.bottom + this->cell - 1) / this->cell;
    }
    reached.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
}

void damage_grid::add_strip(std::span<const vertex> vertices, const look_at& view,
                            const projection& p, float line_width) {
    const window_projection to_window(view, p, area_of(area_));
    const double half = reach(line_width);
    // A grown rose's segments are a few pixels long: each run of them that stays within a
    // cell's width and height is marked as one box, which holds each of its segments and
    // reaches at most a cell more than they do. Marking every segment on its own was most
    // of what the damage cost.
    double last_x = 0.0;
    double last_y = 0.0;
    double run_left = 0.0;
    double run_bottom = 0.0;
    double run_right = 0.0;
    double run_top = 0.0;
    const auto mark_run = [&] {
        mark(run_left - half, run_bottom - half, run_right + half, run_top + half);
    };
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        double x = 0.0;
        double y = 0.0;
        if (!to_window.place(vertices[i], x, y)) {
            add_all();
            return;
        }
        if (i == 0) {
            run_left = run_right = x;
            run_bottom = run_top = y;
        } else if (std::max(run_right, x) - std::min(run_left, x) <= cell &&
                   std::max(run_top, y) - std::min(run_bottom, y) <= cell) {
            run_left = std::min(run_left, x);
            run_right = std::max(run_right, x);
            run_bottom = std::min(run_bottom, y);
            run_top = std::max(run_top, y);
        } else {
            mark_run();
            if (std::abs(x - last_x) <= cell && std::abs(y - last_y) <= cell) {
                run_left = std::min(last_x, x);
                run_right = std::max(last_x, x);
                run_bottom = std::min(last_y, y);
                run_top = std::max(last_y, y);
            } else {
                // A long segment, in pieces: its box could hold many cells it never crosses.
                mark_segment(last_x, last_y, x, y, half);
                run_left = run_right = x;
                run_bottom = run_top = y;
            }
        }
        last_x = x;
        last_y = y;
    }
    if (!vertices.empty()) {
        mark_run();
    }
}

void damage_grid::mark_segment(double x0, double y0, double x1, double y1, double half) {
    // Only the part inside the area, grown by the reach, can colour its pixels: a segment
    // from a vertex close to the eye's plane may run millions of pixels past the edge.
    double enter = 0.0;
    double leave = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const auto keep = [&](double towards, double room) {
        if (towards == 0.0) {
            return room >= 0.0;
        }
        const double t = room / towards;
        if (towards < 0.0) {
            enter = std::max(enter, t);
        } else {
            leave = std::min(leave, t);
        }
        return enter <= leave;
    };
    if (!keep(-dx, x0 - (area_.left - half)) || !keep(dx, area_.right + half - x0) ||
        !keep(-dy, y0 - (area_.bottom - half)) || !keep(dy, area_.top + half - y0)) {
        return;
    }
    const double from_x = x0 + enter * dx;
    const double from_y = y0 + enter * dy;
    const double along_x = (leave - enter) * dx;
    const double along_y = (leave - enter) * dy;
    // In pieces no longer than a cell, so that a long slanting segment reaches the cells it
    // crosses and not all those of its box.
    const double length = std::max(std::abs(along_x), std::abs(along_y));
    const int pieces = std::max(1, static_cast<int>(std::ceil(length / cell)));
    for (int k = 0; k < pieces; ++k) {
        const double a = static_cast<double>(k) / pieces;
        const double b = static_cast<double>(k + 1) / pieces;
        const double ax = from_x + a * along_x;
        const double ay = from_y + a * along_y;
        const double bx = from_x + b * along_x;
        const double by = from_y + b * along_y;
        mark(std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half,
             std::max(ay, by) + half);
    }
}

void damage_grid::mark(double left, double bottom, double right, double top) {
    const pixel_box touched = clip(pixels_of(left, bottom, right, top), area_);
    if (touched.empty()) {
        return;
    }
    const std::int32_t first_column = (touched.left - area_.left) / cell;
    const std::int32_t last_column = (touched.right - 1 - area_.left) / cell;
    const std::int32_t first_row = (touched.bottom - area_.bottom) / cell;
    const std::int32_t last_row = (touched.top - 1 - area_.bottom) / cell;
    for (std::int32_t row = first_row; row <= last_row; ++row) {
        const auto start = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns);
        std::fill(reached.begin() + static_cast<std::ptrdiff_t>(start + first_column),
                  reached.begin() + static_cast<std::ptrdiff_t>(start + last_column + 1), 1);
    }
}

void damage_grid::add_all() {
    std::fill(reached.begin(), reached.end(), 1);
}

void damage_grid::add_box(const pixel_box& box) {
    mark(box.left, box.bottom, box.right, box.top);
}

void damage_grid::add(const damage_grid& other) {
    if (other.reached.size() != reached.size()) {
        add_all();
        return;
    }
    for (std::size_t i = 0; i < reached.size(); ++i) {
        reached[i] |= other.reached[i];
    }
}

bool damage_grid::empty() const {
    return std::find(reached.begin(), reached.end(), 1) == reached.end();
}

std::int64_t damage_grid::pixels() const {
    std::int64_t total = 0;
    for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t column = 0; column < columns; ++column) {
            if (reached[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                        static_cast<std::size_t>(column)] != 0) {
                const pixel_box one{area_.left + column * cell, area_.bottom + row * cell,
                                    area_.left + (column + 1) * cell,
                                    area_.bottom + (row + 1) * cell};
                total += clip(one, area_).area();
            }
        }
    }
    return total;
}

std::vector<pixel_box> damage_grid::boxes_of_cells(std::int32_t merged) const {
    // Cells of merged x merged of the grid's own, each reached where any of its own is.
    const std::int32_t wide = (columns + merged - 1) / merged;
    const std::int32_t high = (rows + merged - 1) / merged;
    const auto at = [&](std::int32_t column, std::int32_t row) {
        for (std::int32_t r = row * merged; r < std::min(rows, (row + 1) * merged); ++r) {
            for (std::int32_t c = column * merged; c < std::min(columns, (column + 1) * merged);
                 ++c) {
                if (reached[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                            static_cast<std::size_t>(c)] != 0) {
                    return true;
                }
            }
        }
        return false;
    };
    const std::int32_t size = cell * merged;
    std::vector<pixel_box> found;
    // The boxes that reach the row below this one, to grow by the runs that match them.
    std::vector<std::size_t> below;
    for (std::int32_t row = 0; row < high; ++row) {
        std::vector<std::size_t> here;
        for (std::int32_t column = 0; column < wide;) {
            if (!at(column, row)) {
                ++column;
                continue;
            }
            const std::int32_t first = column;
            while (column < wide && at(column, row)) {
                ++column;
            }
            const pixel_box run =
                clip({area_.left + first * size, area_.bottom + row * size,
                      area_.left + column * size, area_.bottom + (row + 1) * size},
                     area_);
            const auto same = std::find_if(below.begin(), below.end(), [&](std::size_t i) {
                return found[i].left == run.left && found[i].right == run.right;
            });
            if (same != below.end()) {
                found[*same].top = run.top;
                here.push_back(*same);
            } else {
                here.push_back(found.size());
                found.push_back(run);
            }
        }
        below = std::move(here);
    }
    return found;
}

bool damage_grid::one_cell_at(std::int32_t merged) const {
    return columns <= merged && rows <= merged;
}

std::vector<pixel_box> damage_grid::boxes(std::size_t most) const {
    most = std::max<std::size_t>(most, 1);
    for (std::int32_t merged = 1;; merged *= 2) {
        std::vector<pixel_box> found = boxes_of_cells(merged);
        if (found.size() <= most || one_cell_at(merged)) {
            return found;
        }
    }
}

std::vector<pixel_box> damage_grid::cheapest_boxes(std::size_t most,
                                                   std::int64_t box_pixels) const {
    most = std::max<std::size_t>(most, 1);
    const auto cost = [box_pixels](const std::vector<pixel_box>& boxes) {
        std::int64_t total = 0;
        for (const pixel_box& box : boxes) {
            total += box_pixels + box.area();
        }
        return total;
    };
    std::vector<pixel_box> best;
    std::int64_t best_cost = std::numeric_limits<std::int64_t>::max();
    pixel_box around;
    for (std::int32_t merged = 1;; merged *= 2) {
        std::vector<pixel_box> found = boxes_of_cells(merged);
        if (merged == 1) {
            // The box around them all, which the doubled cells may overshoot.
            for (const pixel_box& box : found) {
                around = around.empty() ? box
                                        : pixel_box{std::min(around.left, box.left),
                                                    std::min(around.bottom, box.bottom),
                                                    std::max(around.right, box.right),
                                                    std::max(around.top, box.top)};
            }
        }
        const std::size_t count = found.size();
        const std::int64_t here = cost(found);
        if (count <= most && here < best_cost) {
            best_cost = here;
            best = std::move(found);
        }
        // Larger cells only hold more pixels: past this one box of these pixels costs as much
        // as the best, and no larger cells can cost less.
        const std::int64_t pixels_here = here - static_cast<std::int64_t>(count) * box_pixels;
        if (count <= 1 || one_cell_at(merged) || box_pixels + pixels_here >= best_cost) {
            break;
        }
    }
    if (!around.empty() && box_pixels + around.area() < best_cost) {
        best.assign(1, around);
    }
    return best;
}

std::vector<pixel_box> frame_damage::boxes_of(const damage_grid& grid, std::size_t most,
                                              std::int64_t box_pixels) {
    const pixel_box& area = grid.area();
    if (static_cast<double>(grid.pixels()) > most_of_area * static_cast<double>(area.area())) {
        return {area};
    }
    return box_pixels > 0 ? grid.cheapest_boxes(most, box_pixels) : grid.boxes(most);
}

const std::vector<pixel_box>& frame_damage::clear_for(const damage_grid& drawn, int age) {
    const bool whole = known == 0;
    damage_grid clear = drawn;
    const bool all = age <= 0 || age > known;
    for (int k = 0; !all && k < age; ++k) {
        clear.add(drawn_before[static_cast<std::size_t>(k)]);
    }
    if (whole) {
        last_changed.assign(1, drawn.area());
    } else {
        damage_grid changed = drawn;
        changed.add(drawn_before[0]);
        last_changed = boxes_of(changed, most_boxes, presented_box_pixels);
    }
    if (all) {
        last_clear.assign(1, drawn.area());
    } else {
        last_clear = boxes_of(clear, most_cleared_boxes, 0);
    }
    std::move_backward(drawn_before.begin(), drawn_before.end() - 1, drawn_before.end());
    drawn_before[0] = drawn;
    known = std::min(known + 1, most_age);
    return last_clear;
}

} // namespace roses
