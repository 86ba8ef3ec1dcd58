// The page's side of the saver: the page's script reads the address, sizes the canvas and
// paces the steps; everything it asks of the core goes through the few functions here.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "display/gl_headers.h"
#include "events/recorded_run.h"
#include "random/random.h"
#include "scene/monitor_scenes.h"
#include "web/page_query.h"
#include "web/webgl_shim.h"

extern "C" {
// From the page's script library: a WebGL context on the page's canvas, with the
// fixed-function emulation set up on it. Returns 0 when the browser offers no WebGL.
int roses_web_create_context(int keep_pictures);
}

namespace roses {
namespace {

enum open_result { live = 0, live_with_warning = 1, check = 2, check_refused = -1 };

struct web_page {
    page_query query;
    std::string text;
    // One scene for the canvas: the page is one monitor's, and its pixel ratio is the scale.
    std::unique_ptr<monitor_scenes> scenes;
};

web_page page;

// What a live page does instead of the value it was given.
const char* fallback_of(const std::string& problem) {
    return problem.rfind("fps", 0) == 0 ? "; frames come at the display's rate"
                                        : "; the seed comes from the clock";
}

void lay_out(std::int32_t width, std::int32_t height, float scale) {
    page.scenes->lay_out({}, {width, height, scale});
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

// Starts the live saver on a canvas of width x height device pixels. Returns 0 without WebGL.
EMSCRIPTEN_KEEPALIVE int roses_begin(std::int32_t width, std::int32_t height, float scale) {
    if (roses_web_create_context(0) == 0) {
        return 0;
    }
    if (page.query.seed) {
        reseed_random(*page.query.seed);
    }
    page.scenes = std::make_unique<monitor_scenes>(false);
    lay_out(width, height, scale);
    return 1;
}

EMSCRIPTEN_KEEPALIVE void roses_resize(std::int32_t width, std::int32_t height, float scale) {
    lay_out(width, height, scale);
}

// One 50 ms step: a tick of the garden, then the scene's step, as the headless renderer
// steps. Frames are roses_draw's.
EMSCRIPTEN_KEEPALIVE void roses_step() {
    page.scenes->scene(0).garden.tick();
    page.scenes->step();
}

// One frame, a fraction f in [0, 1] of a step after the last step.
EMSCRIPTEN_KEEPALIVE void roses_draw(double f) {
    page.scenes->draw(f);
}

// The ?fps cap, or 0 for none.
EMSCRIPTEN_KEEPALIVE std::int32_t roses_fps() {
    return page.query.fps.value_or(0);
}

// Runs the check: every frame on simulated time, recording the events; roses_text() is then
// the event lines. Returns 0 without WebGL.
EMSCRIPTEN_KEEPALIVE int roses_check() {
    if (roses_web_create_context(1) == 0) {
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
// From the page's script library: the emulation set up again on a restored context.
int roses_web_restore_context();

EMSCRIPTEN_KEEPALIVE void roses_context_lost() {
    set_drawing(false);
}

// The context is back, empty: GL is set up on it again, and the page then hands it the
// canvas's size (roses_resize) for the projection. The garden, the roses and the camera are
// the ones that went on meanwhile. Returns 0 when the context is not usable yet.
EMSCRIPTEN_KEEPALIVE int roses_context_restored() {
    if (roses_web_restore_context() == 0) {
        return 0;
    }
    set_drawing(true);
    return 1;
}

} // extern "C"
