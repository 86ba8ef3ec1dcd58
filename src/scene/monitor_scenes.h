// One scene per monitor inside one window: a figure of its own in the middle of every
// monitor, rather than one figure centred on the seam between two of them. Every host hands
// its window to the scenes through here, with the monitors and scales it knows.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "scene/frame.h"
#include "scene/monitor_layout.h"
#include "scene/saver_scene.h"

namespace roses {

class monitor_scenes {
  public:
    // start_workers as for saver_scene: without, the caller ticks every garden itself.
    explicit monitor_scenes(bool start_workers = true) : start_workers(start_workers) {}

    // Lays one scene out per monitor of the window, as unite_monitors gives them, each at its
    // monitor's scale; no monitor at all stands for one covering the window. A monitor that
    // remains (match_monitors) keeps its scene, its roses and its worker, laid out anew for
    // where it is now; a new monitor gets a new scene, and the scene of a monitor that went
    // away is stopped and freed. Needs the window's GL context to be current.
    void lay_out(std::vector<monitor_rect> monitors, const window_geometry& window);

    // One frame of every scene, each drawn into its own monitor. The caller presents it.
    void render();
    // render's halves: every scene's step, which needs no GL and goes on while nobody sees
    // the window, and the drawing of every scene as its last step left it.
    void step();
    void draw();

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
