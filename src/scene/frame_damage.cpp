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

pixel_box unite(const pixel_box& a, const pixel_box& b) {
    if (a.empty()) {
        return b;
    }
    if (b.empty()) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.bottom, b.bottom), std::max(a.right, b.right),
            std::max(a.top, b.top)};
}

pixel_box clip(const pixel_box& box, const pixel_box& within) {
    const pixel_box inside{std::max(box.left, within.left), std::max(box.bottom, within.bottom),
                           std::min(box.right, within.right), std::min(box.top, within.top)};
    return inside.empty() ? pixel_box{} : inside;
}

pixel_box box_of(const viewport_area& area) {
    return {area.x, area.y, area.x + area.width, area.y + area.height};
}

pixel_box strip_box(std::span<const vertex> vertices, const look_at& view, const projection& p,
                    const viewport_area& area, float line_width) {
    if (vertices.empty()) {
        return {};
    }
    // The view and the perspective as gluLookAt and gluPerspective make them.
    const vector3 forward = normalised(minus(view.centre, view.eye));
    const vector3 side = normalised(cross(forward, {view.up[0], view.up[1], view.up[2]}));
    const vector3 up = cross(side, forward);
    const double focal = 1.0 / std::tan(p.fovy * radians_per_degree / 2.0);
    double low_x = std::numeric_limits<double>::infinity();
    double low_y = low_x;
    double high_x = -low_x;
    double high_y = -low_x;
    for (const vertex& v : vertices) {
        const vector3 from_eye{v.x - view.eye[0], v.y - view.eye[1], v.z - view.eye[2]};
        // Clip w is the distance in front of the eye.
        const double w = dot(from_eye, forward);
        const double x = focal / p.aspect * dot(from_eye, side) / w;
        const double y = focal * dot(from_eye, up) / w;
        if (!(w > 0.0) || !std::isfinite(x) || !std::isfinite(y)) {
            return box_of(area);
        }
        low_x = std::min(low_x, x);
        high_x = std::max(high_x, x);
        low_y = std::min(low_y, y);
        high_y = std::max(high_y, y);
    }
    // Smoothed edges reach further than aliased ones: the box allows for them whether or not
    // the frame is multisampled, which costs a pixel or two of clearing.
    const double half = line_width / 2.0 + 1.0 + smoothed_edge_margin(line_width);
    const auto to_window = [](double ndc, std::int32_t origin, std::int32_t size) {
        return origin + (ndc + 1.0) * size / 2.0;
    };
    // Far outside the area a strip still covers no more than all of it.
    const auto pixel = [](double at) {
        return static_cast<std::int32_t>(std::clamp(at, -1e9, 1e9));
    };
    const pixel_box box{pixel(std::floor(to_window(low_x, area.x, area.width) - half)),
                        pixel(std::floor(to_window(low_y, area.y, area.height) - half)),
                        pixel(std::ceil(to_window(high_x, area.x, area.width) + half)),
                        pixel(std::ceil(to_window(high_y, area.y, area.height) + half))};
    return clip(box, box_of(area));
}

pixel_box frame_damage::clear_for(const pixel_box& drawn, int age, const pixel_box& area) {
    const bool whole = known == 0;
    pixel_box clear = drawn;
    bool all = age <= 0 || age > known;
    for (int k = 0; !all && k < age; ++k) {
        clear = unite(clear, drawn_before[static_cast<std::size_t>(k)]);
    }
    last_changed = whole ? area : unite(drawn, drawn_before[0]);
    if (static_cast<double>(last_changed.area()) >
        most_of_area * static_cast<double>(area.area())) {
        last_changed = area;
    }
    if (all ||
        static_cast<double>(clear.area()) > most_of_area * static_cast<double>(area.area())) {
        clear = area;
    }
    std::copy_backward(drawn_before.begin(), drawn_before.end() - 1, drawn_before.end());
    drawn_before[0] = drawn;
    known = std::min(known + 1, most_age);
    return clear;
}

} // namespace roses
