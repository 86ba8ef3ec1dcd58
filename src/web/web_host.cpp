// The page's side of the saver: the page's script reads the address, sizes the canvas and
// hands in each animation frame's time, a wake of the scenes' frame step, as every other
// host's wake is. Everything the script asks of the core goes through the few
// functions here.
#include <emscripten/emscripten.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "display/gl_headers.h"
#include "events/recorded_run.h"
#include "random/random.h"
#include "scene/frame_clock.h"
#include "scene/frame_step.h"
#include "scene/software_renderer.h"
#include "web/page_query.h"
#include "web/webgl_shim.h"

extern "C" {
// From the page's script library: a WebGL context on the page's canvas, with the
// fixed-function emulation set up on it, its edges smoothed or not. Returns 0 when the
// browser offers no WebGL.
int roses_web_create_context(int keep_pictures, int antialias);
}

namespace roses {
namespace {

enum open_result { live = 0, live_with_warning = 1, check = 2, check_refused = -1 };

// What roses_frame did, for the page's statistics.
enum frame_result { stepped = 1, drew = 2 };

// The clock runs on the animation frames' timestamps, milliseconds with fractions, kept as
// microseconds.
constexpr std::int64_t ticks_per_second = 1000000;
constexpr std::int64_t step_ticks =
    std::chrono::duration_cast<std::chrono::microseconds>(step_period).count();
// Whoever asks the system for less motion gets a quarter of the speed: the same decisions,
// only time runs slower.
constexpr std::int64_t calm_step_ticks = 4 * step_ticks;

struct web_page {
    page_query query;
    std::string text;
    // One scene for the canvas: the page is one monitor's, and its pixel ratio is the scale.
    // Its gardens tick on the page's one thread, and its first step falls due at the first
    // animation frame.
    std::unique_ptr<frame_step> frames;
    bool calm = false;
    // The renderer behind the page's WebGL, as the page's script found it before the context
    // was made, and whether the context smooths its edges.
    std::string renderer;
    bool antialias = false;
    // The browser says the battery discharges.
    bool discharging = false;
};

web_page page;

// What a live page does instead of the value it was given.
const char* fallback_of(const std::string& problem) {
    if (problem.rfind("fps", 0) == 0) {
        return "; frames come at the display's rate";
    }
    if (problem.rfind("samples", 0) == 0) {
        return "; edges are smoothed where the renderer does it at little cost";
    }
    if (problem.rfind("battery-fps", 0) == 0) {
        return "; on battery one frame a step";
    }
    return "; the seed comes from the clock";
}

void lay_out(std::int32_t width, std::int32_t height, float scale) {
    page.frames->lay_out({}, {width, height, scale});
}

frame_pacing page_pacing() {
    return choose_pacing(page.query.fps, page.renderer, ticks_per_second, 0.0,
                         page.discharging ? std::optional<std::int32_t>(page.query.battery_fps)
                                          : std::nullopt);
}

} // namespace
} // namespace roses

using namespace roses;

extern "C" {

// Reads the address's query. The line that explains a warning or a refusal is then
// roses_text().
EMSCRIPTEN_KEEPALIVE int roses_open(const char* query) {
    page.text = parse_page_query(query, page.query);
    if (page.query.check) {
        return page.text.empty() ? check : check_refused;
    }
    if (!page.text.empty()) {
        page.text += fallback_of(page.text);
        return live_with_warning;
    }
    return live;
}

EMSCRIPTEN_KEEPALIVE const char* roses_text() {
    return page.text.c_str();
}

EMSCRIPTEN_KEEPALIVE std::int32_t roses_check_width() {
    return page.query.width;
}

EMSCRIPTEN_KEEPALIVE std::int32_t roses_check_height() {
    return page.query.height;
}

// Starts the live saver on a canvas of width x height device pixels, with WebGL on renderer.
// Returns 0 without WebGL.
EMSCRIPTEN_KEEPALIVE int roses_begin(std::int32_t width, std::int32_t height, float scale,
                                     const char* renderer) {
    // The same decisions as the display hosts make: a context takes its samples when it is
    // made, so the renderer is named first.
    page.renderer = renderer;
    page.antialias = choose_samples(page.query.samples, page.renderer) > 0;
    if (roses_web_create_context(0, page.antialias) == 0) {
        return 0;
    }
    if (page.query.seed) {
        reseed_random(*page.query.seed);
    }
    page.frames = std::make_unique<frame_step>(false, page.calm ? calm_step_ticks : step_ticks,
                                               page_pacing());
    lay_out(width, height, scale);
    return 1;
}

// A new size or pixel ratio of the canvas: laid out at once, and drawn at the next frame.
EMSCRIPTEN_KEEPALIVE void roses_resize(std::int32_t width, std::int32_t height, float scale) {
    lay_out(width, height, scale);
}

// Whether the system asks for less motion (and the address does not say ?motion=full): steps
// come four times further apart from the next one on.
EMSCRIPTEN_KEEPALIVE void roses_motion(int calm) {
    page.calm = calm != 0;
    if (page.frames) {
        page.frames->set_step(page.calm ? calm_step_ticks : step_ticks);
    }
}

// Whether the browser says the battery discharges (where it offers the Battery Status API):
// then frames are capped at ?battery-fps, one a step unless told, from the next frame on.
EMSCRIPTEN_KEEPALIVE void roses_battery(int discharging) {
    page.discharging = discharging != 0;
    if (page.frames) {
        page.frames->set_pacing(page_pacing());
    }
}

// One animation frame at now (its timestamp, in milliseconds): a step when one is due (a tick
// of the garden, then the scene's step, as the headless renderer steps), and a frame when the
// clock says; the browser asks for none while the page is hidden. Returns what it did:
// stepped | drew.
EMSCRIPTEN_KEEPALIVE int roses_frame(double now) {
    const auto ticks = static_cast<std::int64_t>(std::llround(now * 1000.0));
    // The canvas keeps nothing of a frame once the browser has shown it: each is drawn whole.
    const frame_step::woken woke = page.frames->wake(ticks, [] { return true; });
    return (woke.stepped ? stepped : 0) | (woke.drawn ? drew : 0);
}

// Runs the check: every frame on simulated time, recording the events; roses_text() is then
// the event lines. Returns 0 without WebGL.
EMSCRIPTEN_KEEPALIVE int roses_check() {
    // Aliased unless asked, as the headless renderer draws.
    if (roses_web_create_context(1, page.query.samples.value_or(0) > 0) == 0) {
        page.text = "this browser offers no WebGL";
        return 0;
    }
    const page_query& q = page.query;
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* lines = open_memstream(&buffer, &size);
    {
        // Exactly the headless renderer's run, at scale 1 like its pictures.
        recorded_run run(lines, q.seed, {}, {q.width, q.height});
        while (run.steps() < q.frames) {
            run.step();
        }
        glFinish();
    }
    std::fclose(lines);
    page.text.assign(buffer, size);
    std::free(buffer);
    return 1;
}

} // extern "C"

// A lost WebGL context: a GPU reset, or a phone that put the browser away. The page goes on
// stepping, so the garden grows on unseen as it would on a screen that is off, and nothing is
// drawn until the context is back.
extern "C" {
// From the page's script library: the emulation set up again on a restored context, which
// keeps the edges it was made with.
int roses_web_restore_context(int antialias);

EMSCRIPTEN_KEEPALIVE void roses_context_lost() {
    set_drawing(false);
}

// The context is back, empty: GL is set up on it again, and the page then hands it the
// canvas's size (roses_resize) for the projection. The garden, the roses and the camera are
// the ones that went on meanwhile. Returns 0 when the context is not usable yet.
EMSCRIPTEN_KEEPALIVE int roses_context_restored() {
    if (roses_web_restore_context(page.antialias) == 0) {
        return 0;
    }
    set_drawing(true);
    return 1;
}

} // extern "C"
