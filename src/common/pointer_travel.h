// How far the pointer may travel before a full-screen saver ends. Every host that measures
// pointer movement shares this rule, so the saver wakes alike on every display system.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace roses {

// The largest city-block distance from the anchor that the pointer may move without ending
// the saver: a table bumped by a passing lorry should not wake the screen.
inline constexpr std::int32_t move_threshold = 4;

// A movement of dx and dy pixels from the anchor ends the saver.
inline bool beyond_move_threshold(std::int64_t dx, std::int64_t dy) {
    return std::abs(dx) + std::abs(dy) > move_threshold;
}

// Where the pointer was when the saver started; distance is always measured from here, so
// small steps add up.
class pointer_anchor {
  public:
    pointer_anchor(std::int64_t x, std::int64_t y) : x(x), y(y) {}

    bool moved_beyond_threshold(std::int64_t to_x, std::int64_t to_y) const {
        return beyond_move_threshold(to_x - x, to_y - y);
    }

  private:
    std::int64_t x;
    std::int64_t y;
};

} // namespace roses
