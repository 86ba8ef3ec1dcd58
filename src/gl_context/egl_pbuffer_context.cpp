#include "gl_context/egl_pbuffer_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstring>

#include "display/gl_headers.h"
#include "gl_context/egl_setup.h"

namespace roses {
namespace {

// Pictures are read back as RGB; alpha only has to be there for blending to behave as on
// the other hosts.
constexpr EGLint pbuffer_alpha_bits = 8;

} // namespace

egl_pbuffer_context::~egl_pbuffer_context() {
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

bool egl_pbuffer_context::create(std::int32_t width, std::int32_t height) {
    egl_display_choice chosen;
    failure = open_egl_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, EGL_PBUFFER_BIT,
                               pbuffer_alpha_bits, chosen);
    if (!failure.empty()) {
        return false;
    }
    display = chosen.display;
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, chosen.config, surface_attributes);
    if (surface == EGL_NO_SURFACE) {
        surface = nullptr;
        failure = egl_failure("eglCreatePbufferSurface");
        return false;
    }
    EGLContext made = EGL_NO_CONTEXT;
    failure = create_egl_context(chosen, made);
    if (!failure.empty()) {
        return false;
    }
    context = made;
    if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
        failure = egl_failure("eglMakeCurrent");
        return false;
    }
    surface_width = width;
    surface_height = height;
    return true;
}

std::vector<std::uint8_t> egl_pbuffer_context::read_rgb() const {
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
