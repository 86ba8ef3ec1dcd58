// One output and everything drawn on it: its layer surface, the EGL window surface on that,
// a GL context of its own (the projection is context state, and every output has its own
// size) and a scene laid out for the output.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "fractional-scale-v1-client-protocol.h"
#include "gl_context/egl_setup.h"
#include "gl_context/multisample_buffer.h"
#include "run_loop/paced_loop.h"
#include "scene/frame_clock.h"
#include "scene/frame_step.h"
#include "viewporter-client-protocol.h"
#include "wayland/layer_shell.h"
#include "wayland/wayland_options.h"

namespace roses {

// What every output's surface is made with.
struct wayland_globals {
    wl_compositor* compositor = nullptr;
    zwlr_layer_shell_v1* layer_shell = nullptr;
    std::uint32_t layer_shell_version = 0;
    // Where the compositor offers both, a surface is drawn at its output's fractional scale
    // (125 %, 150 %): the compositor says the scale, and the viewport shows the buffer of
    // that many pixels at the surface's size, rather than a buffer of the next whole scale
    // shrunk, whose thin lines come out soft.
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractional_scale_manager = nullptr;
    egl_display_choice egl;
    wayland_layer layer = wayland_layer::saver;
    // One line on standard error for every frame committed (ROSES_LOG_FRAMES=1): how tests
    // see which outputs are drawn, since a surface under a window shows in no screenshot.
    bool log_frames = false;
    // -max-fps: frames a second at most on every output.
    std::optional<std::int32_t> max_fps;
    // What the driver can tell and take beyond a plain swap: how old a surface's back buffer
    // is, and which boxes of a frame changed, so that the compositor redraws only those.
    bool buffer_age = false;
    PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC swap_with_damage = nullptr;
    // -samples: samples a pixel on every output; without it, the renderer's default.
    std::optional<std::int32_t> samples;
    // Frames a second at most on every output while the system saves power; nothing while
    // it does not.
    std::optional<std::int32_t> saving_fps;
};

// Finds what the EGL display offers of buffer age and swaps with damage.
void find_damage_extensions(wayland_globals& globals);

class wayland_output {
  public:
    // Takes over the bound output; its global's name identifies it when it goes away.
    wayland_output(const wayland_globals& globals, std::uint32_t name, wl_output* output,
                   std::uint32_t version);
    // Stops the scene's worker and releases the GL objects and the surfaces.
    ~wayland_output();
    wayland_output(const wayland_output&) = delete;
    wayland_output& operator=(const wayland_output&) = delete;

    // Asks for a layer surface on the output; drawing starts once the compositor sizes it.
    void create_surface();
    // Steps the output's scene when its clock says, drawn or not (a rose shown again is where
    // it would have been had it been seen all along), and draws a frame when one is due and
    // the compositor has asked for it. Answers when the output next needs the loop to wake,
    // or nothing before it has a scene.
    std::optional<std::int64_t> run_due(std::int64_t now);
    // Paces the frames anew for the globals' caps (the power state changed); the steps keep
    // their times.
    void follow_pacing();

    std::uint32_t name() const { return global_name; }
    wl_surface* surface() const { return wl_surface_; }
    // The compositor has taken the surface away (the output is going, say).
    bool closed() const { return was_closed; }
    // Why the GL set-up for this surface failed; empty while all is well.
    const std::string& failure() const { return gl_failure; }

  private:
    static void on_configure(void* data, zwlr_layer_surface_v1* layer_surface, std::uint32_t serial,
                             std::uint32_t width, std::uint32_t height);
    static void on_closed(void* data, zwlr_layer_surface_v1* layer_surface);
    static void on_mode(void* data, wl_output* output, std::uint32_t flags, std::int32_t width,
                        std::int32_t height, std::int32_t refresh);
    static void on_scale(void* data, wl_output* output, std::int32_t factor);
    static void on_done(void* data, wl_output* output);
    static void on_frame(void* data, wl_callback* callback, std::uint32_t time);
    static void on_preferred_scale(void* data, wp_fractional_scale_v1* fractional_scale,
                                   std::uint32_t scale);
    // Shows the frame just drawn, of which the boxes changed, drawn into a buffer of that age.
    void present(const std::vector<pixel_box>& changed, EGLint age);
    // Asks the compositor to say when it wants the next frame; the next commit sends it.
    void ask_for_frame();
    // Follows the surface's size in pixels: its size in the compositor's units times the
    // output's scale, or the fractional scale the compositor prefers for it once it has said.
    void resize();
    // The buffer scale and viewport that go with a buffer of the new size: set just before the
    // swap that commits it.
    void set_surface_scale();
    [[nodiscard]] std::string start_gl(std::int32_t width, std::int32_t height);
    void lay_out();
    frame_pacing pacing() const;
    [[nodiscard]] bool make_current();

    const wayland_globals& globals;
    std::uint32_t global_name;
    wl_output* output;
    std::uint32_t output_version;
    wl_surface* wl_surface_ = nullptr;
    zwlr_layer_surface_v1* layer_surface = nullptr;
    // Both, or neither (the compositor cannot draw at fractional scales).
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fractional_scale = nullptr;
    wl_egl_window* egl_window = nullptr;
    EGLSurface egl_surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
    // In the output's context, and of the surface's size.
    multisample_buffer samples;
    // The output's one scene, laid out for the surface's pixels and the output's scale, and
    // when it steps and is drawn; made for the renderer of the output's context.
    std::unique_ptr<frame_step> frames;
    // The size the compositor gives, in its units, and the output's scale: a HiDPI output
    // gets pixels of its own rather than a picture scaled up.
    std::int32_t logical_width = 0;
    std::int32_t logical_height = 0;
    std::int32_t scale = 1;
    std::int32_t pending_scale = 1;
    // The scale the compositor prefers for the surface, in 120ths, once it has said: from then
    // on it takes the place of the output's whole-number scale.
    std::uint32_t preferred_scale = 0;
    // The buffer scale committed last; 1 until one is set.
    std::int32_t buffer_scale = 1;
    bool surface_scale_due = false;
    // The surface's size in pixels, the scene's and the EGL window's, and the scale its roses
    // are drawn at.
    std::int32_t width = 0;
    std::int32_t height = 0;
    double pixel_scale = 1.0;
    bool was_closed = false;
    std::string gl_failure;
    // The frame callback asked for last, until the compositor says it wants the next frame:
    // a surface nobody sees gets no answer, and no more frames.
    wl_callback* frame_callback = nullptr;
    std::string renderer;
    // The time between two of the output's frames, from its current mode (60 Hz until it
    // says): a callback asked for that long before a frame is due comes in time for it.
    std::int64_t display_period = paced_ticks_per_second / 60;
};

} // namespace roses
