#include "scene/monitor_layout.h"

#include <algorithm>

namespace roses {
namespace {

monitor_rect clipped(const monitor_rect& r, std::int32_t width, std::int32_t height) {
    // 64-bit sums: a monitor far outside the window must not overflow on its way in.
    const std::int64_t left = std::max<std::int64_t>(r.x, 0);
    const std::int64_t top = std::max<std::int64_t>(r.y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{r.x} + r.width, width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{r.y} + r.height, height);
    if (right <= left || bottom <= top) {
        return {};
    }
    return {static_cast<std::int32_t>(left),
            static_cast<std::int32_t>(top),
            static_cast<std::int32_t>(right - left),
            static_cast<std::int32_t>(bottom - top),
            r.scale,
            r.identity};
}

monitor_rect united(const monitor_rect& a, const monitor_rect& b) {
    const std::int32_t left = std::min(a.x, b.x);
    const std::int32_t top = std::min(a.y, b.y);
    const std::int32_t right = std::max(a.x + a.width, b.x + b.width);
    const std::int32_t bottom = std::max(a.y + a.height, b.y + b.height);
    // The strips stay as thick on the denser of two mirrored displays as anywhere else.
    return {left, top, right - left, bottom - top, std::max(a.scale, b.scale), a.identity};
}

bool same_place(const monitor_rect& a, const monitor_rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

} // namespace

std::vector<monitor_rect> unite_monitors(std::vector<monitor_rect> monitors,
                                         const window_geometry& window) {
    std::vector<monitor_rect> result;
    for (monitor_rect& given : monitors) {
        // The one place where a monitor without a scale of its own gets one.
        if (!(given.scale > unknown_scale)) {
            given.scale = window.scale;
        }
        const monitor_rect inside = clipped(given, window.width, window.height);
        if (inside.width > 0) {
            result.push_back(inside);
        }
    }
    // A union can reach a rectangle it did not overlap before: merge until nothing changes.
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < result.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < result.size() && !merged; ++j) {
                if (overlap(result[i], result[j])) {
                    result[i] = united(result[i], result[j]);
                    result.erase(result.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                }
            }
        }
    }
    if (result.empty()) {
        result.push_back({0, 0, window.width, window.height, window.scale});
    }
    return result;
}

std::vector<std::optional<std::size_t>> match_monitors(const std::vector<monitor_rect>& before,
                                                       const std::vector<monitor_rect>& after) {
    std::vector<std::optional<std::size_t>> match(after.size());
    std::vector<bool> taken(before.size(), false);
    auto first_free = [&](auto&& fits) -> std::optional<std::size_t> {
        for (std::size_t j = 0; j < before.size(); ++j) {
            if (!taken[j] && fits(before[j])) {
                taken[j] = true;
                return j;
            }
        }
        return std::nullopt;
    };
    auto pass = [&](auto&& fits) {
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (!match[i]) {
                match[i] = first_free([&](const monitor_rect& old) { return fits(old, after[i]); });
            }
        }
    };
    pass([](const monitor_rect& old, const monitor_rect& now) {
        return now.identity != 0 && old.identity == now.identity;
    });
    pass([](const monitor_rect& old, const monitor_rect& now) {
        return (old.identity == 0 || now.identity == 0) && same_place(old, now);
    });
    pass([](const monitor_rect& old, const monitor_rect& now) {
        return old.identity == 0 && now.identity == 0;
    });
    return match;
}

} // namespace roses
