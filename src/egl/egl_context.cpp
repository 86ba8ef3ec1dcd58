#include "egl/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstring>

#include "display/gl_headers.h"

namespace roses {
namespace {

std::string egl_failure(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

} // namespace

#if defined(__SANITIZE_THREAD__)
// Mesa's software rasteriser is not built with ThreadSanitizer: its worker threads hand
// fences back through atomics the sanitizer cannot see, so freeing a signalled fence looks
// like a race. Only reports with a frame inside the driver are silenced; the sanitizer
// reads this hook from the program when it starts.
extern "C" const char* __tsan_default_suppressions() {
    return "race:swrast_dri.so\nrace:libgallium\n";
}
#endif

egl_context::~egl_context() {
    if (display == nullptr) {
        return;
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != nullptr) {
        eglDestroyContext(display, context);
    }
    if (surface != nullptr) {
        eglDestroySurface(display, surface);
    }
}

bool egl_context::create(std::int32_t width, std::int32_t height) {
    display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        display = nullptr;
        failure = "no surfaceless EGL display (is Mesa's EGL installed?)";
        return false;
    }
    if (eglInitialize(display, nullptr, nullptr) != EGL_TRUE) {
        failure = egl_failure("eglInitialize");
        display = nullptr;
        return false;
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE,
                                        EGL_PBUFFER_BIT,
                                        EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_ALPHA_SIZE,
                                        8,
                                        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (eglChooseConfig(display, config_attributes, &config, 1, &found) != EGL_TRUE || found < 1) {
        failure = "no EGL configuration with an RGBA pbuffer and desktop OpenGL";
        return false;
    }
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, surface_attributes);
    if (surface == EGL_NO_SURFACE) {
        surface = nullptr;
        failure = egl_failure("eglCreatePbufferSurface");
        return false;
    }
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        failure = egl_failure("eglBindAPI(EGL_OPENGL_API)");
        return false;
    }
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        context = nullptr;
        failure = egl_failure("eglCreateContext");
        return false;
    }
    if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
        failure = egl_failure("eglMakeCurrent");
        return false;
    }
    surface_width = width;
    surface_height = height;
    return true;
}

std::vector<std::uint8_t> egl_context::read_rgb() const {
    const auto row = static_cast<std::size_t>(surface_width) * 3;
    std::vector<std::uint8_t> bottom_up(row * static_cast<std::size_t>(surface_height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, surface_width, surface_height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    // GL counts rows from the bottom; pictures start at the top.
    std::vector<std::uint8_t> top_down(bottom_up.size());
    for (std::int32_t y = 0; y < surface_height; ++y) {
        std::memcpy(&top_down[static_cast<std::size_t>(y) * row],
                    &bottom_up[static_cast<std::size_t>(surface_height - 1 - y) * row], row);
    }
    return top_down;
}

} // namespace roses
