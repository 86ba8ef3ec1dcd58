// One scene per monitor inside one window: a figure of its own in the middle of every
// monitor, rather than one figure centred on the seam between two of them. Every host hands
// its window to the scenes through here, with the monitors and scales it knows.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "scene/frame.h"
#include "scene/frame_damage.h"
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

    // One step and its frame of every scene, each drawn into its own monitor. The caller
    // presents it.
    void render();
    // One step of every scene, in the order of the monitors.
    void step();
    // Every scene's view at f (draw_scene), each into its own monitor, the whole window
    // cleared. The caller presents it.
    void draw(double f);
    // The same into a buffer that holds the frame of buffer_age frames ago (0 when nothing is
    // known of it): each monitor clears only what its roses drew since and draw now. Returns
    // what changed against the frame before, a box per monitor (none where nothing did), in
    // GL's window coordinates; that is what the caller presents.
    const std::vector<pixel_box>& draw(double f, int buffer_age);
    // The next frame clears and presents the whole window: what it showed is gone (an
    // expose, a lost context). A new layout does this by itself.
    void invalidate();

    std::size_t count() const { return scenes.size(); }
    saver_scene& scene(std::size_t index) { return *scenes[index]; }
    const monitor_rect& monitor(std::size_t index) const { return monitors[index]; }

  private:
    viewport_area area_of(const monitor_rect& monitor) const;

    bool start_workers;
    std::vector<std::unique_ptr<saver_scene>> scenes;
    // What each monitor's last frames drew, and what the last frame changed.
    std::vector<frame_damage> damages;
    std::vector<pixel_box> changed;
    // The window as a whole must be cleared once: a new layout, or a buffer of unknown age.
    bool whole_clear_due = true;
    std::vector<monitor_rect> monitors;
    std::int32_t window_width = 0;
    std::int32_t window_height = 0;
    // One monitor that is the whole window: drawn exactly as a window with one scene,
    // without viewport switches or scissor boxes.
    bool whole_window = false;
    // Some of the window lies on no monitor: cleared before every whole frame, and left as it
    // is by the frames that clear only what changed, since nothing draws there.
    bool uncovered = false;
    // A scissor box may be on from an earlier layout.
    bool scissored = false;
};

} // namespace roses
