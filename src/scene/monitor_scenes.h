// One scene per monitor inside one window: a figure of its own in the middle of every
// monitor, rather than one figure centred on the seam between two of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/frame.h"
#include "scene/saver_scene.h"

namespace roses {

// A monitor's rectangle in window pixels, as windowing systems report them: x to the right
// and y down from the window's top-left corner.
struct monitor_rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Device pixels per ordinary pixel on this monitor (1 at 96 DPI), for the width of the
    // strips drawn there.
    double scale = 1.0;

    friend bool operator==(const monitor_rect&, const monitor_rect&) = default;
};

// The monitors as scenes should see them: each one cut to the window, the empty ones
// dropped, and the ones that overlap (a mirrored projector, a cloned output) united into
// the rectangle around them, which takes the place of the first of them and the larger of
// their scales.
std::vector<monitor_rect> separate_monitors(std::vector<monitor_rect> monitors,
                                            std::int32_t window_width, std::int32_t window_height);

class monitor_scenes {
  public:
    // start_workers as for saver_scene: without, the caller ticks every garden itself.
    explicit monitor_scenes(bool start_workers = true) : start_workers(start_workers) {}

    // Lays one scene out per monitor of a window of the given size, as separate_monitors
    // gives them, each at its monitor's scale; no monitor at all stands for one covering the
    // window at window_scale. Scenes that are already there keep their roses and are laid out
    // anew, in order; new monitors get new scenes, and the scenes of monitors that went away
    // are stopped and freed. Needs the window's GL context to be current.
    void lay_out(std::vector<monitor_rect> monitors, std::int32_t window_width,
                 std::int32_t window_height, double window_scale = 1.0);

    // One frame of every scene, each drawn into its own monitor. The caller presents it.
    void render();

    std::size_t count() const { return scenes.size(); }
    saver_scene& scene(std::size_t index) { return *scenes[index]; }
    const monitor_rect& monitor(std::size_t index) const { return monitors[index]; }

  private:
    viewport_area area_of(const monitor_rect& monitor) const;

    bool start_workers;
    std::vector<std::unique_ptr<saver_scene>> scenes;
    std::vector<monitor_rect> monitors;
    std::int32_t window_height = 0;
    // One monitor that is the whole window: drawn exactly as a window with one scene,
    // without viewport switches or scissor boxes.
    bool whole_window = false;
    // Some of the window lies on no monitor and is cleared before every frame.
    bool uncovered = false;
    // A scissor box may be on from an earlier layout.
    bool scissored = false;
};

} // namespace roses
